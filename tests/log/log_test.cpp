// The log line into the onLog slot, cut at 2047 bytes, in UTF-8; the Chinese texts in GBK.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "capture/capture_log.h"
#include "capture/capture_session.h"
#include "capture/session_callbacks.h"
#include "log/gbk_text.h"
#include "log/log_file.h"
#include "log/log_texts.h"

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

  std::string szRead;  // the GBK texts as the log reads them
  for (const char* szText :
       {kLogDeviceName, kLogUnknownRunState, kLogDeviceDisconnected, kLogInitialising,
        kLogOpenDeviceFailed, kLogOpenDeviceOk, kLogNotInCaptureMode, kLogCaptureModeOnOk,
        kLogCaptureModeOnFailed, kLogInCaptureMode, kLogSetConfigFailed, kLogCapturing})
    szRead += GbkToUtf8(szText) + "|";
  EXPECT_EQ(szRead,
            "设备名 : %s|内部错误,未知的运行状态[%d]\n|设备已断开[%d]|正在初始化...|打开设备失败|"
            "打开设备成功|设备未处于投屏模式|开启投屏模式成功|开启投屏模式失败1|设备处于投屏模式|"
            "SetQTConfigAndInterface 失败|投屏中...|");
}

// The user's log: each line once, in UTF-8, after the milliseconds since it
// opened; a text's own newline ends its line. Only the program's own texts are
// read as GBK (a byte that is not GBK becomes "?"): a path or a name put into
// them, or logged by the program as it is, keeps its UTF-8.
TEST(Log, UserLogHasUtf8LinesAfterTheirMilliseconds) {
  const std::string szPath = testing::TempDir() + "veltrona-user-log.txt";
  std::remove(szPath.c_str());
  const auto OpenFiles = [] {
    return std::ranges::distance(std::filesystem::directory_iterator("/proc/self/fd"));
  };
  const auto nOpenFiles = OpenFiles();
  EXPECT_FALSE(OpenLogFile("/nonexistent-dir/veltrona.log"));
  ASSERT_TRUE(OpenLogFile(szPath.c_str()));
  static constexpr char kCutText[] = "\xc9\xe8\xb1%s";
  g_Callbacks.onLog = WriteLogLine;
  LogMessage(nullptr, kLogCapturing);
  LogMessage(nullptr, kLogDeviceName, "Vid\xc3\xa9os/grabaci\xc3\xb3n.mkv\n");
  LogMessage(nullptr, kCutText, "\xe8\xae\xbe");
  LogMessage(nullptr, "%s", "");
  g_Callbacks.onLog = nullptr;
  WriteLogLine(nullptr, "record: saved Vid\xc3\xa9os/grabaci\xc3\xb3n.mkv");
  CloseLogFile();
  EXPECT_EQ(OpenFiles(), nOpenFiles);  // closed, not left open
  WriteLogLine(nullptr, "after the close");
  std::ifstream file(szPath);
  std::string szLine, szTexts;
  while (std::getline(file, szLine)) {
    // Right-aligned milliseconds, one space, the text.
    const size_t nDigits = szLine.find_first_not_of(' ');
    const size_t nText = szLine.find_first_not_of("0123456789", nDigits);
    ASSERT_TRUE(nText != std::string::npos && nText > nDigits && szLine[nText] == ' ') << szLine;
    szTexts += szLine.substr(nText + 1) + "|";
  }
  EXPECT_EQ(szTexts,
            "投屏中...|设备名 : Vidéos/grabación.mkv|设?设||record: saved Vidéos/grabación.mkv|");
}

}  // namespace
