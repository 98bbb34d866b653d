#include "log/log.h"

#include <gtest/gtest.h>
#include <iconv.h>

#include <string>
#include <vector>

#include "device/capture_session.h"
#include "log/log_texts.h"
#include "video/session_callbacks.h"

namespace {

std::vector<std::string> g_vecLines;
std::vector<void*> g_vecContexts;

void RecordLine(void* pContext, const char* szText) {
  g_vecContexts.push_back(pContext);
  g_vecLines.emplace_back(szText);
}

class LogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    g_vecLines.clear();
    g_vecContexts.clear();
    saved = g_Callbacks;
    g_Callbacks.onLog = RecordLine;
  }
  void TearDown() override { g_Callbacks = saved; }
  SessionCallbacks saved;
};

std::string Utf8ToGbk(const std::string& szUtf8) {
  iconv_t cd = iconv_open("GBK", "UTF-8");
  std::string szIn = szUtf8;
  std::string szOut(szIn.size() * 2 + 4, '\0');
  char* pIn = szIn.data();
  char* pOut = szOut.data();
  size_t nIn = szIn.size();
  size_t nOut = szOut.size();
  iconv(cd, &pIn, &nIn, &pOut, &nOut);
  iconv_close(cd);
  szOut.resize(szOut.size() - nOut);
  return szOut;
}

TEST_F(LogTest, FormatsIntoTheSlotWithTheSessionContext) {
  CaptureSession session;
  int nMarker = 0;
  session.pCallbackContext = &nMarker;
  LogMessage(&session, "RECV : SYNC_CLOK : {ClockRef:0x%016llx, CorrelationID:0x%016llx}",
             0x1234ULL, 0x5ULL);
  ASSERT_EQ(g_vecLines.size(), 1u);
  EXPECT_EQ(g_vecLines[0],
            "RECV : SYNC_CLOK : {ClockRef:0x0000000000001234, CorrelationID:0x0000000000000005}");
  EXPECT_EQ(g_vecContexts[0], &nMarker);
}

TEST_F(LogTest, LongLinesAreCutAt2047BytesAndNeverEndTheProgram) {
  const std::string szExact(2047, 'x');
  LogMessage(nullptr, "%s", szExact.c_str());
  const std::string szLonger(5000, 'y');
  LogMessage(nullptr, "%s", szLonger.c_str());
  ASSERT_EQ(g_vecLines.size(), 2u);
  EXPECT_EQ(g_vecLines[0], szExact);
  EXPECT_EQ(g_vecLines[1], std::string(2047, 'y'));
}

TEST_F(LogTest, EmptySlotFormatsNothing) {
  g_Callbacks.onLog = nullptr;
  LogMessage(nullptr, "%s", "dropped");
  EXPECT_TRUE(g_vecLines.empty());
}

TEST_F(LogTest, ChineseTextsAreGbkBytes) {
  EXPECT_EQ(std::string(kLogDeviceName), Utf8ToGbk("设备名 : %s"));
  EXPECT_EQ(std::string(kLogUnknownRunState), Utf8ToGbk("内部错误,未知的运行状态[%d]\n"));
  EXPECT_EQ(std::string(kLogDeviceDisconnected), Utf8ToGbk("设备已断开[%d]"));
  EXPECT_EQ(std::string(kLogInitialising), Utf8ToGbk("正在初始化..."));
  EXPECT_EQ(std::string(kLogOpenDeviceFailed), Utf8ToGbk("打开设备失败"));
  EXPECT_EQ(std::string(kLogOpenDeviceOk), Utf8ToGbk("打开设备成功"));
  EXPECT_EQ(std::string(kLogNotInCaptureMode), Utf8ToGbk("设备未处于投屏模式"));
  EXPECT_EQ(std::string(kLogCaptureModeOnOk), Utf8ToGbk("开启投屏模式成功"));
  EXPECT_EQ(std::string(kLogCaptureModeOnFailed), Utf8ToGbk("开启投屏模式失败1"));
  EXPECT_EQ(std::string(kLogInCaptureMode), Utf8ToGbk("设备处于投屏模式"));
  EXPECT_EQ(std::string(kLogSetConfigFailed), Utf8ToGbk("SetQTConfigAndInterface 失败"));
  EXPECT_EQ(std::string(kLogCapturing), Utf8ToGbk("投屏中..."));
}

}  // namespace
