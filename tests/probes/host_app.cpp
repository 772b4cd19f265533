// Must not compile: the platform layer includes the application.
#include "app/frmMain.h"
