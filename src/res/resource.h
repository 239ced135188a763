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

// The message texts. Each occasion has its own wording, down to the last
// character, so that users and support can tell the occasions apart.
#define IDS_SAVE_FAILED 200       // the settings key or a settings value
#define IDS_AUTOSTART_FAILED 201  // the Run value
#define IDS_LOWER_CODE_FAILED_AT_START 202
#define IDS_LETTER_FAILED_AT_START 203
#define IDS_HOTKEY_FAILED_AT_SAVE 204
#define IDS_CONFIRM_EXIT 205
#define IDS_CONFIRM_SAVE_ON_EXIT 206
#define IDS_ELEVATION_FAILED 207
// A vardix.exe that the user's programs can change (a zip unpacked into
// Downloads) is never elevated.
#define IDS_NOT_ELEVATED 208
// The elevated copy filled nothing, by its exit code.
#define IDS_COPY_WINDOW_GONE 209
#define IDS_COPY_NO_CODE 210
#define IDS_COPY_NOT_IN_FRONT 211
#define IDS_COPY_NOT_FILLABLE 212
#define IDS_COPY_STOPPED 213
