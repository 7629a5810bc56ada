// Resource ids of the device check (shared by the resource script, the code and its tests).
#pragma once

#ifndef IDC_STATIC
#define IDC_STATIC (-1)
#endif

#define IDD_DEVICECHECK_DIALOG 102
#define IDR_MAINFRAME 128
#define IDC_REGISTRATION 1030
#define IDC_DEVICE_LIST 1031
#define IDC_OTHER_HID 1032
#define IDC_BUTTON_MAP 1033
#define IDC_LED_LIST 1034
#define IDC_LED_ON 1035
#define IDC_LED_OFF 1036
#define IDC_ALL_LEDS_OFF 1037
#define IDC_TRACE_LOG 1038
#define IDC_OPEN_LOG 1039
#define IDC_EVENTS 1040
#define IDC_COPY_REPORT 1041
#define IDC_USB_RULES 1042
#define IDC_SESSIONS 1043
