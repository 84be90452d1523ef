#pragma once
// Templates and controls of the framework's window tests.
#define IDD_FW_BASIC      200   // OK, Cancel, an action button, text, progress bar, edit
#define IDD_FW_PLAIN      201   // visible, at 0,0, no OK or Cancel button (like the main window)
#define IDD_FW_MISSING    299   // no such template

#define IDC_FW_ACTION     1000
#define IDC_FW_TEXT       1001
#define IDC_FW_PROGRESS   1002
#define IDC_FW_EDIT       1003
