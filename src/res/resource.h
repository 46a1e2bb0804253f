// Resource and string ids, shared by the resource scripts and the C++ code.
// Plain #defines only: windres reads this file through the C preprocessor.
#ifndef RINGWARDEN_RESOURCE_H
#define RINGWARDEN_RESOURCE_H

// Dialogs
#define IDD_ABOUTBOX 100
#define IDD_RINGWARDEN_DIALOG 102
#define IDD_ENTRY_GENERAL 131
#define IDD_ENTRY_FILTER 132
#define IDD_CONFIG_GENERAL 133
#define IDD_CONFIG_PHONE_BOOK 134
#define IDD_NOTIFICATION 136
#define IDD_CONFIG_DEFAULTS 137
#define IDD_CONFIG_NON_PHONE_BOOK 139
#define IDD_CONFIG_SECURITY 144
#define IDD_MODEM_CHECK 145
#define IDD_CONFIG_MESSAGES 146
#define IDD_STATISTICS 142

// The tray icon's id and its menu (a menu resource, so no clash with the
// dialog of the same number)
#define IDR_TRAY_MENU 100

// Icons and bitmaps
#define IDI_MAIN 128
#define IDI_TRAY_IDLE 130
#define IDI_TRAY_PERMITTING 131
#define IDI_TRAY_BLOCKING 132
// Not watching the line (no line open); watching with a warning
#define IDI_TRAY_NOT_WATCHING 133
#define IDI_TRAY_WARNING 134
#define IDB_ROW_HEIGHT 135
#define IDI_BANNER 143

// Wave resources
#define IDR_ACK_TONE 147
#define IDR_BEEP_TONE 150
// The call list's and the popup's context menus
#define IDR_CALL_MENU 148
#define IDR_POPUP_MENU 149
// The main window's override button's menu
#define IDR_OVERRIDE_MENU 150
// The key check's prompts: the sentence with each digit (IDR_KEY_PROMPT_0
// + digit), the digit alone after a recording of the user's own
// (IDR_KEY_DIGIT_0 + digit), and the thanks
#define IDR_KEY_PROMPT_0 160
#define IDR_KEY_DIGIT_0 170
#define IDR_KEY_THANKS 180

// About box
#define IDC_ABOUT_VERSION 1063
// Configuration sheet: Preferences page, the call history
#define IDC_KEEP_HISTORY 1064

// Main window controls
#define IDC_CALL_LIST 1000
#define IDC_CONFIGURE 1001
#define IDC_ADD_ENTRY 1043
#define IDC_EDIT_ENTRY 1044
#define IDC_HELP_BUTTON 1061
#define IDC_HIDE 1062
#define IDC_QUIT 1 // IDOK: the Quit button
// The overrides: the button that offers them, and the line above the list
// while one is on, with its Turn off button
#define IDC_OVERRIDE 1080
#define IDC_OVERRIDE_TEXT 1081
#define IDC_OVERRIDE_OFF 1082
#define IDC_EXPORT_CALLS 1126
// Opens the statistics window
#define IDC_STATISTICS 1100

// Statistics window: the period, the chart, the totals, the two top-ten
// lists with their labels, the figures as text, and Copy
#define IDC_STATS_PERIOD 1101
#define IDC_STATS_CHART 1102
#define IDC_STATS_TOTALS 1103
#define IDC_STATS_TOP_BLOCKED_LABEL 1104
#define IDC_STATS_TOP_BLOCKED 1105
#define IDC_STATS_TOP_RANG_LABEL 1106
#define IDC_STATS_TOP_RANG 1107
#define IDC_STATS_TEXT 1108
#define IDC_STATS_COPY 1109
#define IDC_STATS_PERIOD_LABEL 1110
#define IDC_STATS_EXPORT 1111

// Incoming call notification
#define IDC_NOTIFY_NUMBER 1040
#define IDC_NOTIFY_NAME 1041
#define IDC_NOTIFY_ACTION 1042

// Configuration sheet: Preferences page
#define IDC_START_MINIMISED 1027
#define IDC_SHOW_NOTIFICATION 1028
#define IDC_SECONDS 1020
#define IDC_SECONDS_SPIN 1049
#define IDC_SECONDS_LABEL 1050
#define IDC_SECONDS_UNIT 1051

// Configuration sheet: Defaults page (Browse and Test as on the filter page)
#define IDC_DEFAULT_MESSAGE 1039
#define IDC_BROWSE 1021
#define IDC_TEST 1022
#define IDC_OUT_OF_HOURS_START 1025
#define IDC_OUT_OF_HOURS_END 1026

// Configuration sheet: Phone Book page
#define IDC_BOOK_LIST 1002
#define IDC_BOOK_ADD 1003
#define IDC_BOOK_EDIT 1004
#define IDC_BOOK_DELETE 1005

// Configuration sheet: Non Phone Book Calls page
#define IDC_RULE_NEVER 1044
#define IDC_RULE_SOMETIMES 1045
#define IDC_RULE_ALWAYS 1046

// Configuration sheet: Block Suspend page
#define IDC_ALLOW_SUSPEND 1027
#define IDC_KEY1 1053
#define IDC_MINUTES 1054
#define IDC_KEY2 1055
#define IDC_MINUTES_SPIN 1056
#define IDC_KEY1_LABEL 1057
#define IDC_KEY2_LABEL 1058
#define IDC_MINUTES_LABEL 1059
#define IDC_MINUTES_UNIT 1060
#define IDC_REPEAT_CALLS 1070
#define IDC_REPEAT_LABEL 1071
#define IDC_REPEAT_MINUTES 1072
#define IDC_REPEAT_SPIN 1073
#define IDC_REPEAT_UNIT 1074
#define IDC_REPEAT_WITHOUT_ENTRY 1078
// Configuration sheet: Non Phone Book Calls page, the key check
#define IDC_KEY_CHECK 1083
// Configuration sheet: Defaults page, whole days out of hours (Sunday
// first, as the days of the week count)
#define IDC_ALL_DAY_LABEL 1084
#define IDC_ALL_DAY_SUN 1090
#define IDC_ALL_DAY_MON 1091
#define IDC_ALL_DAY_TUE 1092
#define IDC_ALL_DAY_WED 1093
#define IDC_ALL_DAY_THU 1094
#define IDC_ALL_DAY_FRI 1095
#define IDC_ALL_DAY_SAT 1096
// The program run for each call (Preferences page)
#define IDC_HOOK_LABEL 1130
#define IDC_HOOK_COMMAND 1131
#define IDC_HOOK_EVENTS_LABEL 1132
#define IDC_HOOK_EVENTS 1133
// The search box above the call list
#define IDC_CALL_SEARCH 1135
// What a rule would have done (entry sheet, Defaults page)
#define IDC_RULE_PREVIEW 1136
#define IDC_TRACE 1075
#define IDC_MODEM_REPORT 1076
#define IDC_MODEM_COPY 1077
#define IDC_MODEM_RING_TEST 1079
// The Messages page.
#define IDC_MESSAGES_TIME_BLOCKED 1120
#define IDC_MESSAGES_UNKNOWN 1121
#define IDC_MESSAGES_SECONDS 1122
#define IDC_MESSAGES_SECONDS_SPIN 1123
#define IDC_MESSAGES_BALLOON 1124
#define IDC_MESSAGES_STATUS 1125

// Entry sheet: General Information page
#define IDC_ENTRY_NUMBER 1011
#define IDC_ENTRY_NAME 1012
#define IDC_ENTRY_NOTES 1013
#define IDC_ENTRY_LAST_CALL 1020

// Entry sheet: Filter Details page
#define IDC_FILTER_TYPE 1014
#define IDC_USE_DEFAULT_HOURS 1015
#define IDC_USE_OWN_HOURS 1016
#define IDC_ANSWER_SILENCE 1017
#define IDC_ANSWER_DEFAULT 1018
#define IDC_ANSWER_MESSAGE 1019
#define IDC_ANSWER_TIMES_LABEL 1030
#define IDC_OWN_HOURS_START 1034
#define IDC_OWN_HOURS_END 1035
#define IDC_OWN_HOURS_AND 1036
#define IDC_ANSWER_MODE_LABEL 1037
#define IDC_MESSAGE_FILE 1038

// System menu and tray menu commands
#define IDM_ABOUTBOX 16
#define ID_TRAY_OPEN 32771
#define ID_TRAY_QUIT 32772
// Sent by the tray icon when the user clicks its balloon
#define ID_TRAY_BALLOON 32773
#define ID_TRAY_BLOCK_LAST 32774
// The call list's context menu (the popup's shares "Block this caller")
#define ID_CALL_BLOCK 32775
#define ID_CALL_NEVER_BLOCK 32776
#define ID_CALL_EDIT 32777
#define ID_CALL_COPY_NUMBER 32778
// The overrides, in the tray menu and the main window's override menu
#define ID_QUIET_30 32790
#define ID_QUIET_60 32791
#define ID_QUIET_120 32792
#define ID_QUIET_WINDOW_END 32793
#define ID_QUIET_NEVER 32794
#define ID_ALL_RING_30 32795
#define ID_ALL_RING_60 32796
#define ID_ALL_RING_120 32797
#define ID_ALL_RING_WINDOW_END 32798
#define ID_ALL_RING_NEVER 32799
#define ID_OVERRIDE_OFF 32800
#define ID_TRAY_CHECK_MODEM 32779
// Messages: the call list's menu and the tray's.
#define ID_CALL_PLAY_MESSAGE 32810
#define ID_CALL_STOP_MESSAGE 32811
#define ID_CALL_DELETE_MESSAGE 32812
#define ID_CALL_OPEN_MESSAGES 32813
#define ID_TRAY_PLAY_NEWEST 32814
#define ID_TRAY_STATISTICS 32830
#define ID_APP_ABOUT 57664

// Strings
#define IDS_ABOUTBOX 101
#define IDS_CONFIG_FILE_NAME 200
#define IDS_APP_ACTIVE 128
#define IDS_TRAY_IDLE 130
#define IDS_TRAY_PERMITTING 131
#define IDS_TRAY_BLOCKING 132
#define IDS_TRAY_NOT_WATCHING 133
#define IDS_TRAY_WARNING 134
#define IDS_APP_TITLE 500
#define IDS_TIME_FORMAT 1000
#define IDS_PICKER_TIME_FORMAT 1001
#define IDS_LAST_CALL_FORMAT 1002
#define IDS_ENTRY_SHEET_CAPTION 1200
#define IDS_CONFIG_SHEET_CAPTION 1201
#define IDS_NUMBER_CLASH 1500
#define IDS_NAME_MISSING 1501
#define IDS_NUMBER_MISSING 1502
#define IDS_TAPI_INIT_FAILED 1503
#define IDS_LOAD_FAILED 1504
#define IDS_PLAY_FAILED 1505
#define IDS_NO_FILE_TO_PLAY 1506
#define IDS_DELETE_ENTRY 1507
#define IDS_NUMBER_BAD_PREFIX 1508
#define IDS_USAGE 1520
#define IDS_HELP_MISSING 1521
#define IDS_ABOUT_VERSION 1522
// Line health: tray tips (at most 63 bytes) and balloon texts
#define IDS_NOT_WATCHING_NO_TAPI 1530
#define IDS_NOT_WATCHING_NO_LINE 1531
#define IDS_NOT_WATCHING_OPEN_FAILED 1532
#define IDS_NOT_WATCHING_CLOSED 1533
#define IDS_NOT_WATCHING_REINIT 1534
#define IDS_WARN_MONITOR_ONLY 1535
#define IDS_WARN_NO_CALLER_ID 1536
#define IDS_WATCHING_AGAIN 1537
#define IDS_BALLOON_RETRYING 1538
#define IDS_BALLOON_MONITOR_ONLY 1539
#define IDS_BALLOON_NO_CALLER_ID 1540
#define IDS_DROP_FAILED 1541
#define IDS_BALLOON_WATCHING 1542
#define IDS_CONFIG_UNREADABLE 1543
#define IDS_CONFIG_NOT_READ_YET 1544
#define IDS_CONFIG_SAVE_FAILED 1545
#define IDS_CONFIG_NO_APPDATA 1546
#define IDS_CONFIG_NO_APPDATA_FOLDER 1547
#define IDS_ONE_CLICK_SHEET_OPEN 1548
#define IDS_CONFIG_DAMAGED 1549
#define IDS_CONFIG_DAMAGED_NO_COPY 1550
#define IDS_HISTORY_WAITING 1551
#define IDS_ONE_CLICK_ENTRY_OPEN 1552
#define IDS_OVERRIDE_QUIET_UNTIL 1560
#define IDS_OVERRIDE_ALL_RING_UNTIL 1561
#define IDS_OVERRIDE_QUIET_NEVER 1562
#define IDS_OVERRIDE_ALL_RING_NEVER 1563
#define IDS_MENU_UNTIL_WINDOW_END 1564
#define IDS_OVERRIDE_REMINDER 1565
#define IDS_KEY_CHECK_PRESS 1566
// Messages callers left: the list, playback, the tray and the Messages page.
#define IDS_NO_MESSAGE 1570
#define IDS_NEW_MESSAGES 1571
#define IDS_NEW_MESSAGE_ONE 1572
#define IDS_BALLOON_NEW_MESSAGE 1573
#define IDS_MESSAGES_FULL 1574
#define IDS_MESSAGES_DISK_FULL 1575
#define IDS_MESSAGE_CANNOT_PLAY 1576
#define IDS_MESSAGE_GONE 1577
#define IDS_MESSAGE_NOT_WAVE 1578
#define IDS_MESSAGE_NO_SPEAKERS 1579
#define IDS_DELETE_MESSAGE 1580
#define IDS_DELETE_MESSAGE_FAILED 1581
#define IDS_MESSAGES_CANNOT_RECORD 1582
#define IDS_MESSAGES_CAN_RECORD 1583
#define IDS_MESSAGES_NO_FOLDER 1584
#define IDS_MESSAGES_FOLDER_MISSING 1585
#define IDS_BALLOON_NEW_MESSAGE_TITLE 1586
#define IDS_NO_LINE_SUITS 1587
#define IDS_EXPORT_FAILED 1588
#define IDS_EXPORT_FILTER 1589
#define IDS_EXPORT_DONE 1590
#define IDS_HOOK_FAILED 1650
#define IDS_HOOK_EVENT_ALL 1651
#define IDS_HOOK_EVENT_BLOCKED 1652
#define IDS_HOOK_EVENT_MESSAGES 1653
#define IDS_HOOK_NOT_IN_CODE_PAGE 1654
#define IDS_PREVIEW_ENTRY 1660
#define IDS_PREVIEW_DEFAULTS 1661
#define IDS_PREVIEW_EXAMPLE 1662
#define IDS_PREVIEW_CALL 1663
#define IDS_PREVIEW_CALLS 1664
#define IDS_PREVIEW_NUMBER 1665
#define IDS_PREVIEW_NUMBERS 1666
#define IDS_COLUMN_NAME 2000
#define IDS_COLUMN_NUMBER 2001
#define IDS_COLUMN_TIME 2002
#define IDS_COLUMN_ACTION 2003
#define IDS_COLUMN_MESSAGE 2004
#define IDS_BOOK_COLUMN_NAME 2100
#define IDS_BOOK_COLUMN_NUMBER 2101
#define IDS_BOOK_COLUMN_FILTER 2102
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
// The modem check: verdicts, their next steps, the abilities' names
#define IDS_MODEM_VERDICT_BASE 3200
#define IDS_MODEM_STEP_BASE 3210
#define IDS_MODEM_ABILITY_BASE 3220
#define IDS_MODEM_CAN_BASE 3230
#define IDS_MODEM_REPORT_TITLE 3240
#define IDS_MODEM_REPORT_LINE 3241
#define IDS_MODEM_REPORT_WATCHED 3242
#define IDS_MODEM_REPORT_VERDICT 3243
#define IDS_MODEM_REPORT_STEP 3244
#define IDS_MODEM_REPORT_NO_LINE 3245
// The data exchange's validation messages
#define IDS_PARSE_INT 61712
#define IDS_PARSE_INT_RANGE 61713

#endif
