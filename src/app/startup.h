// Start-up and shutdown, the same on every platform once the shell has read
// the command line.
#pragma once

#include <string>

#include "app/mirror_options.h"

inline constexpr int kExitOk = 0;
inline constexpr int kExitNoUdid = 2;
inline constexpr int kExitUsage = 2;
inline constexpr int kExitNoWindow = 3;
inline constexpr int kExitNoDecoder = 4;
// Windows: libusb0.dll missing, not loadable or not 64-bit.
inline constexpr int kExitNoUsbLibrary = 5;

// --help or -h as the first argument: no UDID starts with '-'.
bool IsHelpArgument(const std::string& szFirst);

// Shows how to start the program (ShellShowUsage) and returns exit code 0.
int ShowUsage();

// Runs the whole program. pszUtf8Udid is null when there was no argument;
// otherwise it is the first argument in UTF-8 (empty when it was empty or could
// not be converted). Returns the process exit code.
int RunMirror(const std::string* pszUtf8Udid, const MirrorOptions& options = {});

// Creates the session, sets it running and starts the capture thread:
// 0 when it runs, 4 when the thread (or the session's buffers) could not be had.
int StartUsbVideo(const std::string& szUtf8Udid);

// Called by the shell's window procedure when the window is destroyed: asks
// the capture thread to stop.
void OnMirrorWindowDestroyed();

// Polled by the shell (about once a second, on the window's thread): whether
// to keep the display on and the system awake now (stay_awake.h).
bool MirrorWantsAwake();

// Called by the shell when the operating system ends the session (shut down,
// log off, restart for an update): the orderly stop of a closed window, done
// before this returns, as the process may be ended right after.
void OnMirrorSessionEnding();

// Called by the shell when the M key is pressed in the window: mutes or
// unmutes the sound.
void OnMirrorMuteKey();

// Called by the shell on the S key: saves the picture on screen.
void OnMirrorScreenshotKey();

// Called by the shell on the R key: starts or stops a recording.
void OnMirrorRecordKey();
