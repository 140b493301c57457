// Resource ids of KovShop, shared by the resource script and the code. Read by windres too,
// so plain #defines only.
#pragma once

#define IDR_MAINFRAME 128

#define IDS_SOCKETS_INIT_FAILED 103

// Dialog templates.
#define IDD_NEMDIRIVEDA_DIALOG 102
#define IDD_NEM_2 129
#define IDD_WAITING 130
#define IDD_SHOWERROR 133
#define IDD_WAITING_2 137

// Side pictures: the default, then one per image type 0..3.
#define IDB_SIDE_DEFAULT 134
#define IDB_SIDE_TYPE0 139
#define IDB_SIDE_TYPE1 140
#define IDB_SIDE_TYPE2 141
#define IDB_SIDE_TYPE3 142

// Controls, named by kind. Several pages share an id for the same role.
#define IDC_STATIC -1
#define IDC_BUTTON_NEXT 1000
#define IDC_BUTTON_NEXT2 1001
#define IDC_CHECK_WARNING 1002
#define IDC_BUTTON_BACK 1004
#define IDC_CHECK_COMPLETED 1005
#define IDC_STATIC_TEXT 1010
#define IDC_PICTURE_SIDE 1017
#define IDC_STATIC_WELCOME 1018
#define IDC_STATIC_ERROR_TITLE 1020
#define IDC_STATIC_EXPLANATION 1021
#define IDC_GROUP_CHECKLIST 1023
#define IDC_STATIC_RESCUE 1040
