#include "capture/session_callbacks.h"

SessionCallbacks g_Callbacks;
