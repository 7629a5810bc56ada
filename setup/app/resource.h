// Resource ids of the setup program (shared by the resource script and the code).
#pragma once

#ifndef IDC_STATIC
#define IDC_STATIC (-1)
#endif

#define IDM_ABOUTBOX 0x0010
#define IDD_ABOUTBOX 100
#define IDS_ABOUTBOX 101
#define IDD_TOVAROCITRIXVCCLIENTSETUP_DIALOG 102
#define IDR_MAINFRAME 128
#define IDC_LOG_EDIT 1012
#define IDC_INSTALL_BUTTON 1013
#define IDC_UNINSTALL_BUTTON 1014
#define IDC_CLEAR_BUTTON 1015
