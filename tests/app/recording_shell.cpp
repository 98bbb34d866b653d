#include "app/recording_shell.h"

#include "app/shell.h"
#include "app/startup.h"

RecordingShell g_RecordingShell;

bool ShellCreateMirrorWindow() {
  g_RecordingShell.bWindowCreated = g_RecordingShell.bWindowCanBeCreated;
  return g_RecordingShell.bWindowCreated;
}

void ShellShowError(bool bOwnedByWindow, const char* szUtf8Text) {
  g_RecordingShell.vecErrors.push_back({bOwnedByWindow, szUtf8Text});
}

void ShellRunMessageLoop() {
  if (g_RecordingShell.whileRunning) g_RecordingShell.whileRunning();
  OnMirrorWindowDestroyed();
}

void ShellRequestRepaint(void*) {
  ++g_RecordingShell.nRepaintRequests;
}
