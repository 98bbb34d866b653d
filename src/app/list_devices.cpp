#include "app/list_devices.h"

#include <cstdio>

#include "app/app_texts.h"
#include "app/shell.h"
#include "app/startup.h"
#include "device/printable_text.h"

bool IsListArgument(const std::string& szFirst) {
  return szFirst == "--list";
}

std::string FormatDeviceList(const std::vector<ListedDevice>& vecDevices) {
  if (vecDevices.empty()) return kTextListNone;
  std::string szList;
  for (const ListedDevice& device : vecDevices) {
    if (!device.szUdid.empty())
      szList += PrintableText(device.szUdid);
    else
      szList += device.bNoPermission ? kTextListNoPermission : kTextListNoSerial;
    char szProduct[8];
    std::snprintf(szProduct, sizeof szProduct, "%04x", device.nProductId);
    szList += kTextListProduct;
    szList += szProduct;
    szList += device.bCaptureOn ? kTextListCaptureOn : kTextListCaptureOff;
    if (const std::string szName = PrintableText(device.szName); !szName.empty())
      szList += kTextListName + szName;
    szList += '\n';
  }
  return szList;
}

int ShowDeviceList() {
  ShellShowUsage(FormatDeviceList(ListVendorDevices(true)).c_str());
  return kExitOk;
}
