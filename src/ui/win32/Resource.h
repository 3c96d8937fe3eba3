// The Windows dialog's resource ids, shared by Tolvren.rc and the code. Plain macros, the one
// form the resource compiler reads; named as Windows names resource ids. The main window's
// control ids are those of ui/ControlIds.h.
#pragma once

#define IDD_ABOUTBOX 100
#define IDS_ABOUTBOX 101
#define IDD_CONVERTER 102
#define IDD_PROBLEMS 103
#define IDS_USAGE 104
#define IDD_ASS_OPTIONS 105
#define IDI_TOLVREN 128
#define IDR_ACCELERATORS 129

// The system menu's About entry; its low four bits are the system's (WM_SYSCOMMAND).
#define IDM_ABOUTBOX 0x0010

// The main window (IDCANCEL, 2, is 退出).
#define IDC_SOURCE_DIR 1001
#define IDC_TARGET_DIR 1002
#define IDC_BROWSE_SOURCE 1003
#define IDC_BROWSE_TARGET 1004
#define IDC_START 1005
#define IDC_AUTHOR 1006
#define IDC_STOP 1009
#define IDC_PROGRESS 1010
#define IDC_ELAPSED 1011
#define IDC_OPEN_TARGET 1013
#define IDC_PROGRAM_ICON 1014
#define IDC_ENCODING 1017
#define IDC_DETAILS 1018
#define IDC_FORMAT 1040
#define IDC_LRC_STYLE 1041
#define IDC_ASS_OPTIONS 1042
#define IDC_SHIFT 1043
#define IDC_SHIFT_SPIN 1044
#define IDC_CHINESE 1045

// The ASS options window.
#define IDC_ASS_FONT 1050
#define IDC_ASS_SIZE 1051
#define IDC_ASS_SIZE_SPIN 1052
#define IDC_ASS_SUNG 1053
#define IDC_ASS_UNSUNG 1054
#define IDC_ASS_ROWS 1055
#define IDC_ASS_TITLE 1056
#define IDC_ASS_LEAD 1057
#define IDC_ASS_LINGER 1058
#define IDC_ASS_SAMPLE 1059

// The About box's version line, and the problem list.
#define IDC_ABOUT_VERSION 1020
#define IDC_PROBLEM_LIST 1030
#define IDC_COPY 1031
