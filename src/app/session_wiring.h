// The one place where the capture side meets the stages after it.
#pragma once

struct SessionCallbacks;

// Fills every slot of an empty table and sets its installed flag: the video
// handlers (their context, the session's pCallbackContext, is the decoder),
// the user's log when bLogOn (WriteLogLine), and NoOpCallback elsewhere. The
// log slot stays null while the log is off, so no line is even formatted.
// Leaves an already installed table unchanged.
void InstallSessionCallbacks(SessionCallbacks& callbacks, bool bLogOn);
