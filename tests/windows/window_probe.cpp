// What the Windows tests ask of the program's window from outside: "size" (outer
// and client), "end-session" (WM_QUERYENDSESSION, WM_ENDSESSION, then the
// process ended at once, as Windows may do once WM_ENDSESSION returns).
#include <windows.h>

#include <cstdio>
#include <cstring>

int main(int argc, char** argv) {
  const HWND hWindow = FindWindowW(L"BrindlemoorIosVideoWindow", L"Veltrona - iOS");
  if (argc != 2 || hWindow == nullptr) return 2;
  if (std::strcmp(argv[1], "size") == 0) {
    RECT window{};
    RECT client{};
    GetWindowRect(hWindow, &window);
    GetClientRect(hWindow, &client);
    std::printf("window %ldx%ld client %ldx%ld\n", window.right - window.left,
                window.bottom - window.top, client.right, client.bottom);
    return 0;
  }
  DWORD nProcessId = 0;
  GetWindowThreadProcessId(hWindow, &nProcessId);
  const HANDLE hProcess = OpenProcess(PROCESS_TERMINATE, FALSE, nProcessId);
  const LRESULT nAgreed = SendMessageW(hWindow, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF);
  const ULONGLONG qwStart = GetTickCount64();
  SendMessageW(hWindow, WM_ENDSESSION, TRUE, ENDSESSION_LOGOFF);
  const ULONGLONG qwTook = GetTickCount64() - qwStart;
  const BOOL bKilled = hProcess != nullptr && TerminateProcess(hProcess, 99);
  std::printf("query %lld, killed %d, WM_ENDSESSION took %llu ms\n",
              static_cast<long long>(nAgreed), bKilled ? 1 : 0, qwTook);
  return 0;
}
