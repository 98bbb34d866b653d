// The log line into the onLog slot, cut at 2047 bytes; the Chinese texts in GBK.
#include "log/log.h"

#include <gtest/gtest.h>
#include <iconv.h>

#include "device/capture_session.h"
#include "log/log_texts.h"
#include "video/session_callbacks.h"

namespace {

std::string g_szLines;

TEST(Log, LinesGoToTheSlotWithTheSessionsContextCutAt2047BytesAndTextsAreGbk) {
  g_Callbacks.onLog = [](void* pContext, const char* szText) {
    g_szLines += (pContext == &g_szLines ? "session: " : "") + std::string(szText) + "\n";
  };
  CaptureSession session;
  session.pCallbackContext = &g_szLines;
  LogMessage(&session, "ClockRef:0x%016llx", 0x1234ULL);
  LogMessage(nullptr, "%s", std::string(2047, 'x').c_str());
  LogMessage(nullptr, "%s", std::string(5000, 'y').c_str());
  g_Callbacks.onLog = nullptr;
  LogMessage(&session, "%s", "nowhere to go");
  EXPECT_EQ(g_szLines, "session: ClockRef:0x0000000000001234\n" + std::string(2047, 'x') + "\n" +
                           std::string(2047, 'y') + "\n");

  std::string szUtf8 =
      "设备名 : %s|内部错误,未知的运行状态[%d]\n|设备已断开[%d]|正在初始化...|打开设备失败|"
      "打开设备成功|设备未处于投屏模式|开启投屏模式成功|开启投屏模式失败1|设备处于投屏模式|"
      "SetQTConfigAndInterface 失败|投屏中...|";
  std::string szGbk;
  for (const char* szText :
       {kLogDeviceName, kLogUnknownRunState, kLogDeviceDisconnected, kLogInitialising,
        kLogOpenDeviceFailed, kLogOpenDeviceOk, kLogNotInCaptureMode, kLogCaptureModeOnOk,
        kLogCaptureModeOnFailed, kLogInCaptureMode, kLogSetConfigFailed, kLogCapturing})
    szGbk += szText + std::string("|");
  std::string szConverted(szUtf8.size(), '\0');
  char *pIn = szUtf8.data(), *pOut = szConverted.data();
  size_t nIn = szUtf8.size(), nOut = szConverted.size();
  const iconv_t cd = iconv_open("GBK", "UTF-8");
  EXPECT_EQ(iconv(cd, &pIn, &nIn, &pOut, &nOut), 0u);
  iconv_close(cd);
  EXPECT_EQ(szGbk, szConverted.substr(0, szConverted.size() - nOut));
}

}  // namespace
