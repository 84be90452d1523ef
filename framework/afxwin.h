#pragma once
// Everything an application of the framework includes.
#include <windows.h>
#include <commctrl.h>
#include "afx_object.h"
#include "afx_msgmap.h"
#include "afx_wnd.h"
#include "afx_dialog.h"
#include "afx_app.h"
