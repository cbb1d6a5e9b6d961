// The process-wide settings and session values.
#include "app/state.h"

Settings g_settings;
RunState g_run;
