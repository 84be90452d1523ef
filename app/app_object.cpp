#include "ORV_update.h"

// The one application object of the program.
CORV_updateApp g_theApp;
