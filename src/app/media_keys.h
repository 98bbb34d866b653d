// Screenshots and recordings as the user asks for them: the S and R keys,
// --record, --save-dir, the file names and the notices.
#pragma once

#include <string>

struct MirrorOptions;
struct Recorder;

// Makes the recorder (before the capture thread starts) and, with --record,
// starts recording. bLogOn: the user's log is open; bNoWindow: notices also
// go to standard error, as there is no window to show them. Null when the
// recorder's thread could not be started (told once; mirroring goes on).
Recorder* StartMediaKeys(const MirrorOptions& options, bool bLogOn, bool bNoWindow);

// Once the capture thread has stopped: ends the recording (it is saved) and
// waits for a screenshot being written.
void StopMediaKeys();
