// Resource ids of Zamri, shared by the resource script and the code. Read by windres too,
// so plain #defines only.
#pragma once

#define IDR_MAINFRAME 128
#define IDB_PICTURE 146

#define IDD_ABOUTBOX 100
#define IDD_ZAMRI_DIALOG 102

// The system menu's About item: a system command id keeps its low four bits clear.
#define IDM_ABOUTBOX 0x0010
#define IDS_ABOUTBOX 101
#define IDS_SOCKETS_INIT_FAILED 103

#define IDC_STATIC -1
#define IDC_EDIT_PATH 1000
#define IDC_BUTTON_BROWSE 1001
#define IDC_PROGRESS 1006
#define IDC_BUTTON_DOWNLOAD 1007
#define IDC_STATIC_PROGRESS 1009
#define IDC_STATIC_STATUS 1012
