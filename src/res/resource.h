#pragma once
// Resource ids, shared by the resource script and the code.

#define IDC_STATIC (-1)

#define IDD_ABOUTBOX 100
#define IDS_ABOUTBOX 101
#define IDD_MAIN 102
#define IDR_MAINFRAME 128

#define IDC_APPLY 1000
#define IDC_RUN_STARTUP 1004
#define IDC_RUN_BACKGROUND 1005
#define IDC_HOTKEY_LETTER 1006
#define IDC_HIDE 1008
#define IDC_EXIT 1009

#define IDM_ABOUTBOX 0x0010
