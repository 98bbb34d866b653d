// A shell without a window for the benchmarks that link the app library: the
// pipeline reaches the shell only to ask for repaints, and nothing is shown.
#include "app/shell.h"

bool ShellCreateMirrorWindow() {
  return false;
}
void ShellShowError(bool /*bOwnedByWindow*/, const char* /*szUtf8Text*/) {}
void ShellShowNotice(const char* /*szUtf8Text*/) {}
void ShellShowUsage(const char* /*szUtf8Text*/) {}
void ShellWriteStandardError(const char* /*szUtf8Text*/) {}
void ShellSetFullscreen(bool /*bFullscreen*/) {}
void ShellRunMessageLoop() {}
void ShellRequestRepaint(void* /*pContext*/) {}
