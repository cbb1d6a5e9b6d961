// The process-wide settings and session values.
#include "core/state.h"

Settings g_settings;
RunState g_run;
