// Resource ids of the line simulator's own window (rwlinesim.rc).
#pragma once

#define IDD_LINESIM 100
#define IDC_LINESIM_NUMBER 1001
#define IDC_LINESIM_NAME 1002
#define IDC_LINESIM_KIND 1003
#define IDC_LINESIM_RING 1004
#define IDC_LINESIM_HANGUP 1005
#define IDC_LINESIM_LOG 1006
// Keypad: 0-9, then * and #.
#define IDC_LINESIM_KEY0 1010
#define IDC_LINESIM_KEYSTAR 1020
#define IDC_LINESIM_KEYHASH 1021
