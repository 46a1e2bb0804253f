// Resource and string ids, shared by the resource scripts and the C++ code.
// Plain #defines only: windres reads this file through the C preprocessor.
#ifndef RINGWARDEN_RESOURCE_H
#define RINGWARDEN_RESOURCE_H

// Dialogs
#define IDD_ABOUTBOX 100
#define IDD_RINGWARDEN_DIALOG 102

// Icons and bitmaps
#define IDI_MAIN 128
#define IDB_ROW_HEIGHT 135

// Wave resources
#define IDR_ACK_TONE 147

// Main window controls
#define IDC_CALL_LIST 1000
#define IDC_CONFIGURE 1001
#define IDC_ADD_ENTRY 1043
#define IDC_EDIT_ENTRY 1044
#define IDC_HELP_BUTTON 1061
#define IDC_HIDE 1062
#define IDC_QUIT 1 // IDOK: the Quit button

// System menu and tray menu commands
#define IDM_ABOUTBOX 16
#define ID_TRAY_OPEN 32771
#define ID_TRAY_QUIT 32772
#define ID_APP_ABOUT 57664

// Strings
#define IDS_ABOUTBOX 101
#define IDS_CONFIG_FILE_NAME 200
#define IDS_APP_TITLE 500
#define IDS_TIME_FORMAT 1000
#define IDS_TAPI_INIT_FAILED 1503
#define IDS_USAGE 1520
#define IDS_HELP_MISSING 1521
#define IDS_COLUMN_NAME 2000
#define IDS_COLUMN_NUMBER 2001
#define IDS_COLUMN_TIME 2002
#define IDS_COLUMN_ACTION 2003
#define IDS_FILTER_NEVER_BLOCK 2200
#define IDS_FILTER_BLOCK_SOMETIMES 2201
#define IDS_FILTER_ALWAYS_BLOCK 2202
#define IDS_FILTER_NEVER_BLOCK_LONG 2210
#define IDS_FILTER_BLOCK_SOMETIMES_LONG 2211
#define IDS_FILTER_ALWAYS_BLOCK_LONG 2212
#define IDS_NO_PHONE_BOOK_ENTRY 3000
#define IDS_CALLTYPE_BLOCKED 3001
#define IDS_CALLTYPE_OUT_OF_AREA 3002
#define IDS_CALLTYPE_NO_CALLER_ID 3003
#define IDS_ACTION_BASE 3100

#endif
