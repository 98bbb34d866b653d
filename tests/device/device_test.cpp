// Finding, activating and keeping the device on the simulated bus and the virtual clock (minutes
// of reconnect logic in milliseconds); what a search saw, and the devices --list finds.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <mutex>

#include "capture/link_report.h"
#include "capture/session_callbacks.h"
#include "device/capture_thread.h"
#include "device/device_list.h"
#include "device/serial_number.h"
#include "device/usb_discovery.h"
#include "log/gbk_text.h"
#include "log/log_texts.h"
#include "platform/clock.h"
#include "sim/sim.h"

namespace {

constexpr char kSerial[] = "00008101000a1b2c3d4e5f60";
constexpr char kUdid[] = "00008101-000A1B2C3D4E5F60";
// A serial of the newer form, and the UDID it is taken as.
constexpr char kLongSerial[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZ01234567890abc";
constexpr char kLongUdid[] = "abcdefghijklmnopqrstuvwxyz01234567890abc";
constexpr uint64_t kStart = 1'000'000;

std::mutex g_LogMutex;  // the name lookup logs from a thread of its own
std::vector<std::pair<std::string, uint64_t>> g_vecLog;  // each line with its virtual time
std::function<void(const std::string&)> g_onLine;

// The log, a word a line (link reports too: S<devices of the vendor seen>, A, R, L), "+<ms>" for
// virtual time between the lines and after the last; not the name, which comes at no fixed place.
std::string LogWords() {
  const std::pair<const char*, const char*> names[] = {
      {kLogInitialising, "init"},        {kLogOpenDeviceOk, "open"},
      {kLogOpenDeviceFailed, "absent"},  {kLogNotInCaptureMode, "not-capture"},
      {kLogCaptureModeOnOk, "mode-on"},  {kLogCaptureModeOnFailed, "mode-failed"},
      {kLogInCaptureMode, "in-capture"}, {kLogSetConfigFailed, "set-failed"},
      {kLogCapturing, "capturing"},      {kLogDeviceName, "name"},
      {kLogDeviceDisconnected, "gone"},  {kLogUnknownRunState, "unknown"}};
  std::string szWords;
  uint64_t qwPrevious = kStart;
  const auto Waited = [&](uint64_t qwTicks) {
    if (qwTicks != qwPrevious) szWords += "+" + std::to_string(qwTicks - qwPrevious) + " ";
    qwPrevious = qwTicks;
  };
  for (const auto& [szLine, qwTicks] : g_vecLog) {
    std::string szWord = szLine.substr(0, szLine.find(",for Device "));
    for (const auto& [szText, szName] : names)
      if (szLine.starts_with(GbkToUtf8(std::string_view(szText, std::strcspn(szText, "%")))))
        szWord = szName;
    if (szWord == "name") continue;
    Waited(qwTicks);
    szWords += szWord + " ";
  }
  Waited(ClockTicks());
  return szWords;
}

// What the device-access code did, a word an event (bulk writes left out).
std::string Events() {
  const char* const szWords[] = {"", " control", " cfg", " claim", " reset", " close", " open"};
  std::string szEvents;
  for (const vsim::Event& e : vsim::Transcript()) {
    szEvents += e.kind <= vsim::Event::Open ? szWords[e.kind] : " ?";
    if (e.nNumber != 0) szEvents += std::to_string(e.nNumber);  // configuration, interface
    if (std::tie(e.kind, e.nRequestType, e.nRequest, e.nValue, e.nLength) ==
        std::tuple(vsim::Event::Control, 0x40, 0x52, 0, 0))
      szEvents += e.nIndex == 2 ? "-on" : e.nIndex == 0 ? "-off" : "-mode?";
  }
  return szEvents;
}

// A scripted device (silent unless told otherwise) of a scenario ("capture", "cold+mode-fails").
vsim::DeviceConfig Device(const char* szScenario, std::string szSerial = kSerial) {
  vsim::DeviceConfig config;
  std::string szError;
  EXPECT_TRUE(vsim::ParseScenario(szScenario, config, szError)) << szError;
  config.serial = std::move(szSerial);
  config.behaviour = vsim::Behaviour::Scripted;
  return config;
}

vsim::AltSetting Alt(std::vector<vsim::Endpoint> vecEndpoints, uint8_t byClass = 0xFF) {
  return {.bInterfaceClass = byClass, .bInterfaceSubClass = 0x2A, .endpoints = vecEndpoints};
}

auto Fields(const UsbConfigChoice& c) {
  return std::tuple(c.nConfig, c.nInterface, int(c.byInEndpoint), c.nInMaxPacket,
                    int(c.byOutEndpoint), c.nOutMaxPacket);
}

TEST(Udid, SerialsInTheirNormalFormAndSessionsOnlyForAUdidThatFits) {
  // Only a-z change.
  EXPECT_EQ(NormaliseSerialNumber("az`{AZ@[0000000000000000"), "AZ`{AZ@[-0000000000000000");
  EXPECT_EQ(NormaliseSerialNumber("AZ@[az`{\xC3\x89"), "az@[az`{\xC3\x89");
  const std::string szLongest(sizeof CaptureSession::szUDID - 1, 'a');
  EXPECT_EQ(CreateCaptureSession(szLongest)->szUDID, szLongest);
  EXPECT_EQ(CreateCaptureSession(szLongest + "a"), nullptr);  // cut, it could match another
}

TEST(Device, CaptureInterfaceAndItsEndpointsAreChosenFromTheLayout) {
  vsim::AltSetting empty = Alt({{0x81}, {0x02}});
  empty.bZeroLength = true;
  // Passed over: an empty alternate setting and one of another class; the largest
  // packets win and, of equal ones, the first; so does the last configuration.
  const vsim::AltSetting chosen = Alt({{0x81, 64}, {0x83}, {0x85}, {0x02, 64}, {0x04, 64}});
  const std::pair<std::vector<vsim::Configuration>, UsbConfigChoice> cases[] = {
      {{{1, {{{Alt({{0x81}, {0x02}})}}}}, {4, {{{empty, Alt({{0x81}, {0x02}}, 8), chosen}}}}},
       {4, 0, 0x83, 512, 0x02, 64}},
      {{{2, {{{Alt({{0x81, 0}, {0x02, 0}})}}}}}, {2, 0, 0x81, 0, 0x02, 0}},
      {{{1, {{{Alt({{0x81}, {0x02}})}}}}, {3, {{{Alt({})}}}}}, {3, 0, 0, -1, 0, -1}},
      {{{1, {{{Alt({{0x81}, {0x02}}, 8)}}}}}, {}},
  };
  const std::unique_ptr<CaptureSession> pSession = CreateCaptureSession(kUdid);
  UsbConfigChoice mux, qt;
  for (const auto& [layout, expected] : cases) {
    ResetCaptureState(*pSession);  // while its handle still means something
    vsim::Reset();
    vsim::DeviceConfig config = Device("capture");
    config.layoutAfterModeOn = layout;
    vsim::AddDevice(config);
    ASSERT_EQ(OpenDevice(*pSession, kUdid), kOpenDeviceOk);
    mux = qt = {7, 7};  // what an earlier search left
    FindMuxAndQtConfig(*pSession, pSession->pDevice, mux, qt);
    EXPECT_EQ(Fields(qt), Fields(expected));
    EXPECT_EQ(std::pair(mux.nConfig, mux.nInterface), std::pair(-1, -1));
  }
  mux = qt = {7, 7};
  FindMuxAndQtConfig(*pSession, nullptr, mux, qt);
  EXPECT_EQ(Fields(qt), Fields({7, 7}));
}

TEST(Device, AttemptsAreLoggedWaitedOutAndEndedByTheStop) {
  const std::string szOpen = "init open A Found MuxConfig[1]  Interface[1] ";
  const std::string szFound =
      szOpen + "Found MuxConfig[2]  Interface[1] Found QtConfig[2]  Interface[2] in-capture ";
  const std::string szSwitch = szOpen + "not-capture +1000 mode-on +2000 ";
  const std::string szCapture = szFound + "+1000 capturing R ";
  // Switched, captured, lost (the next attempt closes its handle), absent thrice, back, stopped
  // capturing again: mode-off on the claimed interface, then close; the last +1000 is the stop's.
  const std::string szAbsent = "init absent S0 +1000 ";
  const std::string szConnect = " open control-on close open cfg2 claim2";
  const std::string szReconnect = szSwitch + szCapture + "gone L +1000 " + szAbsent + szAbsent +
                                  szAbsent + szSwitch + szCapture + "+1000 ";
  const std::string szReconnectEvents = szConnect + " close" + szConnect + " control-off close";
  struct Case {
    int32_t nRunState;
    const char* szScenario;  // "": none that matches
    std::string szStopOn, szLog, szEvents;
  };
  const Case cases[] = {
      {kRunRunning, "", kLogOpenDeviceFailed, "init absent S2 +2000 ", " open close open close"},
      {kRunRunning, "cold", kLogCapturing, szReconnect, szReconnectEvents},
      {kRunStopRequested, "capture", "", "+1000 ", ""},  // before the first look
      {kRunStopped, "capture", "", "+1000 ", ""},
      {7, "capture", "", "unknown +1000 ", ""},
      {kRunRunning, "cold+mode-fails", kLogCaptureModeOnFailed,
       szOpen + "not-capture +1000 mode-failed +2000 ", " open control-on control-off close"},
      {kRunRunning, "capture+claim-fails", kLogSetConfigFailed, szFound + "set-failed +2000 ",
       " open cfg2 claim2 control-off close"},
      {kRunRunning, "capture+set-config-fails", kLogSetConfigFailed, szFound + "set-failed +2000 ",
       " open cfg2 control-off close"},
  };
  const std::unique_ptr<CaptureSession> pSession = CreateCaptureSession(kUdid);
  CaptureSession& s = *pSession;
  g_Callbacks.onLog = [](void*, const char* szText) {
    const std::lock_guard lock(g_LogMutex);
    g_vecLog.emplace_back(szText, ClockTicks());
    g_onLine(szText);
  };
  g_Callbacks.onLinkReport = [](void*, const LinkReport& r) {
    const auto szSeen = r.stage == LinkStage::Searching ? std::to_string(r.nVendorDevices) : "";
    const std::lock_guard lock(g_LogMutex);
    g_vecLog.emplace_back("SARL"[static_cast<int>(r.stage)] + szSeen, ClockTicks());
  };
  EXPECT_EQ(CaptureThreadProc(nullptr), 0u);
  for (const Case& c : cases) {
    vsim::Reset();
    UseVirtualClock(kStart);
    g_vecLog.clear();
    if (*c.szScenario != '\0') {
      vsim::QueueUnplug(vsim::AddDevice(Device(c.szScenario)));
    } else {  // another vendor's (never opened), an unreadable serial, an empty one
      vsim::DeviceConfig other = Device("capture"), blank = Device("capture", "");
      other.idVendor = 0x1234;
      for (const auto& device : {other, Device("serial-fails"), blank}) vsim::AddDevice(device);
    }
    int nAbsent = 0, nCapturing = 0;
    g_onLine = [&](const std::string& szLine) {  // lines in UTF-8, the texts in GBK
      if (szLine == GbkToUtf8(kLogOpenDeviceFailed) && ++nAbsent == 3) vsim::Replug(0);
      if (szLine == GbkToUtf8(c.szStopOn) &&
          (szLine != GbkToUtf8(kLogCapturing) || ++nCapturing == 2))
        s.nRunState.store(kRunStopRequested);
    };
    // What a connection leaves in the session is gone before the next.
    s.qwNeedClockRef = s.qwFirstAudioPts = s.qwFirstAudioLocal = s.qwLastAudioPts = 9;
    s.qwLastAudioLocal = s.qwSyncClockRef = s.nPendingOffset = s.nPendingLength = 9;
    s.nVideoHeadSet = 9;
    s.bAudioClockStarted = s.bFirstAsynNotified = s.bVideoRecordNew = true;
    s.bAudioHeadMissing = s.bFirstProcessVideo = false;
    s.vecNeedPacket = s.vecVideoRecord = std::vector<uint8_t>(20, 1);
    s.nRunState.store(c.nRunState);
    EXPECT_EQ(CaptureThreadProc(&s), 0u);
    EXPECT_EQ(LogWords(), c.szLog);
    EXPECT_EQ(Events(), c.szEvents) << c.szLog;
    EXPECT_EQ(std::tuple(s.qwNeedClockRef, s.qwFirstAudioPts, s.qwFirstAudioLocal, s.qwLastAudioPts,
                         s.qwLastAudioLocal, s.qwSyncClockRef, s.nPendingOffset, s.nPendingLength,
                         s.nVideoHeadSet, s.qwSyncClockStart, s.qwLocalClockStart),
              std::tuple(0u, 0u, 0u, 0u, 0u, 0u, 0u, 0u, 0, ClockTicks(), ClockTicks()));
    EXPECT_EQ(std::tuple(s.bAudioClockStarted, s.bFirstAsynNotified, s.bAudioHeadMissing,
                         s.bFirstProcessVideo, IsConfigFound(s.MuxConfig), s.QtConfig.byInEndpoint,
                         s.nRunState.load(), s.pDevHandle, s.pDevice, s.vecNeedPacket.size(),
                         s.vecVideoRecord.size(), s.bVideoRecordNew),
              std::tuple(false, false, true, true, false, 0, kRunStopped, nullptr, nullptr, 0u, 0u,
                         false));
  }
  g_Callbacks.onLinkReport = nullptr;
}

TEST(Device, AnyTakesTheFirstOfTheFamilyAndTheNextOneWhenItGoes) {
  const std::tuple<const char*, uint16_t, uint16_t, bool> candidates[] = {
      {kAnyDeviceUdid, 0x05AC, 0x12A8, true},  {kAnyDeviceUdid, 0x05AC, 0x1290, true},
      {kAnyDeviceUdid, 0x05AC, 0x12AF, true},  {kAnyDeviceUdid, 0x05AC, 0x128F, false},
      {kAnyDeviceUdid, 0x05AC, 0x12B0, false}, {kAnyDeviceUdid, 0x1234, 0x12A8, false},
      {kUdid, 0x05AC, 0x0250, true},           {kUdid, 0x1234, 0x12A8, false},
  };
  for (const auto& [szWanted, nVendor, nProduct, bCandidate] : candidates)
    EXPECT_EQ(IsCandidateDevice(szWanted, nVendor, nProduct), bCandidate) << szWanted << nProduct;
  EXPECT_TRUE(IsWantedDevice(kAnyDeviceUdid, ""));
  EXPECT_FALSE(IsWantedDevice(kUdid, "00008101-000a1b2c3d4e5f60"));

  // A keyboard of the vendor (never opened) before two phones.
  constexpr char kSecond[] = "0123456789abcdef0123456789abcdef01234567";
  vsim::Reset();
  vsim::DeviceConfig keyboard = Device("capture"), second = Device("capture", kSecond);
  keyboard.idProduct = 0x0250;
  second.idProduct = 0x12AB;
  for (const auto& device : {keyboard, Device("capture"), second}) vsim::AddDevice(device);
  const std::unique_ptr<CaptureSession> pSession = CreateCaptureSession(kAnyDeviceUdid);
  g_Callbacks.onLog = [](void*, const char* szText) { g_vecLog.emplace_back(szText, 0); };
  g_vecLog.clear();
  std::vector<std::string> vecTaken;
  for (int nGone : {-1, 1, 2}) {
    if (nGone >= 0) vsim::Unplug(nGone);
    const bool bOpened = OpenDevice(*pSession, pSession->szUDID) == kOpenDeviceOk;
    vecTaken.push_back(bOpened ? pSession->szDeviceUdid : "none");
    ResetCaptureState(*pSession);
    EXPECT_EQ(pSession->szDeviceUdid, "");
  }
  EXPECT_EQ(vecTaken, (std::vector<std::string>{kUdid, kSecond, "none"}));
  for (const vsim::Event& e : vsim::Transcript())
    EXPECT_NE(e.nDevice, 0) << "the keyboard was opened";
  const std::string kAny = "any: mirroring ", kAll = " connected; --list shows them all";
  EXPECT_EQ(g_vecLog,
            (decltype(g_vecLog){{kAny + kUdid + " (product 0x12a8), the first of 2" + kAll, 0},
                                {kAny + kSecond + " (product 0x12ab), the first of 1" + kAll, 0}}));
}

// The names come from the tool on PATH: its first line; nothing from a tool that failed. A search
// counts what it passed over, with a few of the other UDIDs; nothing of the device it found.
TEST(DeviceList, EveryDeviceOfTheVendorWithItsUdidProductModeAndName) {
  namespace fs = std::filesystem;
  const fs::path dir = fs::temp_directory_path() / ("veltrona-list-" + std::to_string(getpid()));
  fs::create_directories(dir);
  std::ofstream(dir / "ideviceinfo") << "#!/bin/sh\ncase \"$2\" in\n  " << kUdid
                                     << ") printf 'iPhone\\033 de Ana\\nsecond line\\n' ;;\n"
                                        "  *) echo \"ERROR: no $2\"; exit 1 ;;\nesac\n";
  fs::permissions(dir / "ideviceinfo", fs::perms::owner_all);
  const std::string szPath = std::getenv("PATH") != nullptr ? std::getenv("PATH") : "";
  setenv("PATH", dir.c_str(), 1);
  vsim::Reset();
  vsim::DeviceConfig otherVendor = Device("capture");
  otherVendor.idVendor = 0x1234;
  vsim::DeviceConfig ipad = Device("cold", kLongSerial);
  ipad.idProduct = 0x12ab;
  for (const auto& device :
       {otherVendor, ipad, Device("no-permission"), Device("serial-fails"), Device("cold", "")})
    vsim::AddDevice(device);
  for (int i = 0; i < 7; ++i) vsim::AddDevice(Device("capture", "other"));
  vsim::AddDevice(Device("capture"));
  std::vector<std::tuple<std::string, int32_t, bool, bool, std::string>> fields;
  for (const ListedDevice& d : ListVendorDevices(true))
    fields.emplace_back(d.szUdid, d.nProductId, d.bCaptureOn, d.bNoPermission, d.szName);
  setenv("PATH", szPath.c_str(), 1);
  fs::remove_all(dir);
  decltype(fields) expected = {{kLongUdid, 0x12ab, false, false, ""},
                               {"", 0x12a8, false, true, ""}};
  expected.insert(expected.end(), 2, {"", 0x12a8, false, false, ""});
  expected.insert(expected.end(), 7, {"other", 0x12a8, true, false, ""});
  expected.emplace_back(kUdid, 0x12a8, true, false, "iPhone\x1b de Ana");
  EXPECT_EQ(fields, expected);
  // Every handle opened is closed again; no request changes a device.
  std::string szEvents;
  for (const vsim::Event& e : vsim::Transcript())
    szEvents += e.kind == vsim::Event::Open ? '(' : e.kind == vsim::Event::Close ? ')' : '?';
  EXPECT_EQ(szEvents, "()()()()()()()()()()()()");

  const std::unique_ptr<CaptureSession> pSession = CreateCaptureSession(kUdid);
  LinkReport seen;
  EXPECT_EQ(OpenDevice(*pSession, kUdid, &seen), kOpenDeviceOk);
  ResetCaptureState(*pSession);
  std::vector<std::string> vecOthers = {kLongUdid, ""};
  vecOthers.resize(8, "other");
  EXPECT_EQ(std::tie(seen.nVendorDevices, seen.nNoPermission, seen.vecOtherUdids),
            std::tuple(12, 1, vecOthers));
}

}  // namespace
