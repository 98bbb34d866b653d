// Whether the machine is to stay awake. Watching the phone never touches the
// computer's mouse or keyboard, so without a request the display goes dark
// and the session locks after the idle time; a recording must not be cut by
// sleep either.
#pragma once

#include "capture/link_report.h"

// While a device is connected (found and being switched on, or sending), and
// always while a recording runs.
bool ShouldStayAwake(LinkStage stage, bool bRecording);
