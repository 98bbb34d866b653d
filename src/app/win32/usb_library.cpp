#include "app/win32/usb_library.h"

#include <windows.h>

#include "app/app_texts.h"
#include "app/shell.h"
#include "app/startup.h"

namespace {

// Every libusb 0.1 function the program calls: a DLL without one of them
// would fail only at that call, in the middle of a capture.
constexpr const char* kUsedFunctions[] = {
    "usb_init",
    "usb_find_busses",
    "usb_find_devices",
    "usb_get_busses",
    "usb_open",
    "usb_close",
    "usb_get_string_simple",
    "usb_set_configuration",
    "usb_claim_interface",
    "usb_control_msg",
    "usb_bulk_read",
    "usb_bulk_write",
    "usb_reset",
};

bool IsAmd64Image(HMODULE hModule) {
  const auto* pBase = reinterpret_cast<const BYTE*>(hModule);
  const auto* pDos = reinterpret_cast<const IMAGE_DOS_HEADER*>(pBase);
  if (pDos->e_magic != IMAGE_DOS_SIGNATURE) return false;
  const auto* pNt = reinterpret_cast<const IMAGE_NT_HEADERS*>(pBase + pDos->e_lfanew);
  return pNt->Signature == IMAGE_NT_SIGNATURE &&
         pNt->FileHeader.Machine == IMAGE_FILE_MACHINE_AMD64;
}

}  // namespace

int CheckUsbLibrary() {
  // The same search the delay-load helper makes; the module stays loaded for it.
  const HMODULE hLibrary = LoadLibraryW(L"libusb0.dll");
  const char* szProblem = nullptr;
  if (hLibrary == nullptr) {
    // A 32-bit DLL gives ERROR_BAD_EXE_FORMAT; only "not found" means missing.
    szProblem =
        GetLastError() == ERROR_MOD_NOT_FOUND ? kTextUsbLibraryMissing : kTextUsbLibraryWrong;
  } else if (!IsAmd64Image(hLibrary)) {
    szProblem = kTextUsbLibraryWrong;
  } else {
    for (const char* szFunction : kUsedFunctions) {
      if (GetProcAddress(hLibrary, szFunction) == nullptr) szProblem = kTextUsbLibraryWrong;
    }
  }
  if (szProblem == nullptr) return 0;
  ShellShowError(false, szProblem);
  return kExitNoUsbLibrary;
}
