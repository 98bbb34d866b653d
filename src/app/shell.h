// What start-up needs from the platform: the mirror window, its message loop
// (with the mute key) and the message boxes. One implementation is linked in: Win32, SDL2, or a
// recording shell in tests.
#pragma once

// Registers the class, creates the 900x650 window titled "Veltrona - iOS",
// shows it and paints it black. False when no window could be made.
bool ShellCreateMirrorWindow();

// A modal error box with the caption "Veltrona iOS" (owned by the mirror
// window when bOwnedByWindow); the text also goes to standard error where the
// platform has one. Returns when the user has dismissed it.
void ShellShowError(bool bOwnedByWindow, const char* szUtf8Text);

// A problem the program runs on after: on standard error where the platform
// has one, else in a message box with the caption "Veltrona iOS".
void ShellShowNotice(const char* szUtf8Text);

// Text the user asked for (how to start the program, the device list): on
// standard output where the platform has one, else in a message box with the
// caption "Veltrona iOS".
void ShellShowUsage(const char* szUtf8Text);

// One line on standard error where the platform has one; nothing elsewhere.
void ShellWriteStandardError(const char* szUtf8Text);

// Full screen (the picture letter-boxed over the whole screen) or back to the
// window as it was. Also from the keys and the double-click in the shell.
void ShellSetFullscreen(bool bFullscreen);

// Runs the message loop until the window is closed. The window procedure calls
// OnMirrorWindowDestroyed() (startup.h) when the window goes away.
void ShellRunMessageLoop();

// Asks for a repaint of the whole client area; safe from any thread; at most
// one request is pending at a time. The context is unused.
void ShellRequestRepaint(void* pContext);
