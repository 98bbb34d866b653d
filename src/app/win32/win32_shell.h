// What the Win32 shell needs from wWinMain before start-up runs.
#pragma once

#include <windows.h>

// The instance that registers the window class and the show command that
// ShowWindow receives.
void SetShellStartupInfo(HINSTANCE hInstance, int nCmdShow);
