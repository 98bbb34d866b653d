// A shell that records what start-up asks of it, for tests of start-up.
#pragma once

#include <functional>
#include <string>
#include <vector>

struct RecordedError {
  bool bOwnedByWindow = false;
  std::string szText;
};

struct RecordingShell {
  bool bWindowCanBeCreated = true;
  bool bWindowCreated = false;
  std::vector<RecordedError> vecErrors;
  int nRepaintRequests = 0;
  // Runs inside the message loop, before the window is "closed".
  std::function<void()> whileRunning;
};

extern RecordingShell g_RecordingShell;
