// Resource ids of the program: dialogs, their controls, the string table and the icon.
#pragma once

#define IDR_MAINFRAME 128

#define IDD_MAIN 102
#define IDD_INPUT 129

#define IDC_NEW 3
#define IDC_EDIT 4
#define IDC_DELETE 5
#define IDC_LIST 1000
#define IDC_INFO 1004
#define IDC_NAME 1005
#define IDC_CLSID 1006
#define IDC_SPIN 1006

#define IDS_INFO 7
#define IDS_COL_NAME 8
#define IDS_COL_CLSID 9
#define IDS_NAME_EMPTY 10
#define IDS_CLSID_LENGTH 11
#define IDS_CLSID_FORMAT 12
#define IDS_CLSID_EXISTS 13
#define IDS_SAVE_FAILED 14
#define IDS_SAVE_FILE_FAILED 15
#define IDS_SAVE_REGISTRY_FAILED 16
#define IDS_LOAD_FAILED 17
#define IDS_SAVE_FILE_SAVED 18
#define IDS_SAVE_REGISTRY_SAVED 19
#define IDS_TIP_REGISTERED 20
#define IDS_TIP_NOT_REGISTERED 21
#define IDS_TIP_KNOWN 22
#define IDS_SAVE_KEPT_OTHERS 23
#define IDS_LIST_IN_TEMP 24
#define IDS_TIP_ALTERNATE_BLOCKED 25
#define IDS_TIP_ALTERNATE_ALLOWED 26

#ifndef IDC_STATIC
#define IDC_STATIC (-1)
#endif
