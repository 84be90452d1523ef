// Resource ids of ORV_update. Shared by the resource script and the C++
// sources, so it holds nothing but plain #defines.
#ifndef ORV_RESOURCE_H
#define ORV_RESOURCE_H

#ifndef IDC_STATIC
#define IDC_STATIC              (-1)
#endif

// System menu command of the About entry; its low four bits stay clear
// because the system uses them in WM_SYSCOMMAND.
#define IDM_ABOUTBOX            0x0010

#define IDD_ABOUTBOX            100
#define IDS_ABOUTBOX            101
#define IDD_UPDATE_DIALOG       102
#define IDR_MAINFRAME           128
#define IDB_PRODUCT_PICTURE     130
#define IDD_ERROR_TIP           132

// Images of type "BIN" sent to the unit as stored.
#define IDR_BIN_UNUSED          136
#define IDR_BIN_AUDIO           140
#define IDR_BIN_FIRMWARE        145
#define IDR_BIN_RADAR           146

#define IDC_BTN_START           1000
#define IDC_BTN_CANCEL          1001
#define IDC_PROGRESS_DATABASE   1002
#define IDC_PROGRESS_FIRMWARE   1003
#define IDC_LABEL_FIRMWARE      1004
#define IDC_STATUS              1006
#define IDC_LABEL_DATABASE      1008
#define IDC_PROGRESS_AUDIO      1010
#define IDC_LABEL_AUDIO         1011
#define IDC_LABEL_RADAR         1012
#define IDC_DEVICE_STATE        1013
#define IDC_PROGRESS_RADAR      1014

#endif
