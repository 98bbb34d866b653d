// The capture side's readers, item writer, receive loop (scripted device) and thread (real one).
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <mutex>
#include <string>

#include "avc/access_unit.h"
#include "avc/avc_units.h"
#include "capture/announcements.h"
#include "capture/fourcc.h"
#include "capture/item_reader.h"
#include "capture/item_writer.h"
#include "capture/media_packet.h"
#include "capture/receive_loop.h"
#include "capture/sample_buffer.h"
#include "capture/session_callbacks.h"
#include "capture_test_util.h"
#include "device/capture_activation.h"
#include "device/capture_thread.h"
#include "log/gbk_text.h"
#include "log/log_texts.h"
#include "platform/clock.h"
#include "sim.h"

using namespace captest;

namespace {

// What the capture side handed on, in order: log lines, "start", "lost", "params:<hex>",
// "nal:<hex>", "end", "audio:<hex>", "format:<numbers>"; under a lock, as the name has its thread.
std::vector<std::string> g_vecCalls;
std::mutex g_CallsMutex;
void Push(std::string szCall) {
  const std::lock_guard lock(g_CallsMutex);
  g_vecCalls.push_back(std::move(szCall));
}
const auto Record = [](const char* sz, const uint8_t* p, size_t n) { Push(sz + H({p, n})); };
const auto Numbers = [](char c, auto... n) { return ((c + std::to_string(n)) + ...).substr(1); };
// An access unit: its record when new, each unit with its prefix, "end" ("end*" for a keyframe).
void RecordAccessUnit(void*, const AccessUnit& unit) {
  if (unit.bNewRecord) Record("params:", unit.record.data(), unit.record.size());
  size_t nPosition = 0;
  while (const auto nal = NextUnit(unit.units, nPosition))
    Record("nal:", nal->data() - 4, nal->size() + 4);
  Push(unit.bKeyframe ? "end*" : "end");
}
std::string Joined(const std::vector<std::string>& vecLines) {
  std::string szText;
  for (size_t i = 0; i < vecLines.size(); ++i) szText += (i > 0 ? " | " : "") + vecLines[i];
  return szText;
}

struct Recorder {
  Recorder() : previous(g_Callbacks) {
    g_vecCalls.clear();
    g_Callbacks = SessionCallbacks{};
    g_Callbacks.onAudioFormat = [](void*, uint32_t nBits, uint32_t nChannels, int32_t nRate,
                                   int32_t nOne) {
      Push("format:" + Numbers(' ', nBits, nChannels, nRate, nOne));
    };
    g_Callbacks.onAudioData = [](void*, const uint8_t* p, int32_t n) { Record("audio:", p, n); };
    g_Callbacks.onStreamStart = [](void*) { Push("start"); };
    g_Callbacks.onDeviceLost = [](void*) { Push("lost"); };
    AddAccessUnitSink(g_Callbacks.videoSinks, RecordAccessUnit, nullptr);
    g_Callbacks.onLog = [](void*, const char* szLine) { Push(szLine); };
  }
  ~Recorder() { g_Callbacks = previous; }
  SessionCallbacks previous;
};

// The host as the capture thread hands it to the receive loop, a scripted device claimed; or,
// given pictures, a device speaking the protocol, left for the capture thread to claim.
struct SimConnection {
  explicit SimConnection(Bytes vecH264 = {}) {
    vsim::Reset();
    UseVirtualClock(vecH264.empty() ? 1'000'000 : 10'000'000);
    vsim::DeviceConfig config;
    config.bCaptureModeOn = true;
    if (vecH264.empty()) config.behaviour = vsim::Behaviour::Scripted;
    config.vecH264 = std::move(vecH264);
    nDevice = vsim::AddDevice(config);
    pSession->nRunState.store(kRunRunning);
    bConnected = config.vecH264.empty() && PrepareCaptureDevice(*pSession);
    szStart = vsim::TranscriptText();
  }
  ~SimConnection() {
    vsim::Reset();  // its handles and read hook too
    UseRealClock();
  }
  std::string HostEvents() const { return vsim::TranscriptText().substr(szStart.size()); }

  std::unique_ptr<CaptureSession> pSession = CreateCaptureSession("00008101-000A1B2C3D4E5F60");
  int nDevice = -1;
  bool bConnected = false;
  std::string szStart;
};

const Bytes kPing = Hex("10000000 676e6970 00000000 01000000");
const Bytes kSps = Hex("6764001f acd94050");
const Bytes kPps = Hex("68ebe3cb");
const Bytes kRecord = vtest::MakeAvcConfigRecord(kSps, kPps, true);
const Bytes kBaseline = vtest::MakeAvcConfigRecord(kSps, kPps, false);
const std::string kEmpty = "warning CMSampleBuf.SampleData  empty!!  vecCMSampleBuffer : ";

const auto First = [](const Bytes& b, size_t nCount) { return Bytes(b.data(), b.data() + nCount); };
// The packet's first bytes, its length field saying so.
Bytes Cut(Bytes packet, size_t nSize) {
  packet.resize(nSize);
  packet[0] = static_cast<uint8_t>(nSize);
  return packet;
}
const auto Spoiled = [](Bytes bytes, size_t nAt) {
  bytes[nAt] ^= 0x20;
  return bytes;
};
// A log line as the slot receives it: the text, GBK, in UTF-8.
std::string Line(const char* szFormat, int nValue) {
  char szLine[256];
  snprintf(szLine, sizeof szLine, GbkToUtf8(szFormat).c_str(), nValue);
  return szLine;
}
const auto W = [](std::span<const uint8_t> bytes) { return "bulk_write 0x05 " + H(bytes) + "\n"; };
std::string Reply(uint64_t qwCorrelation, const Bytes& payload) {
  return W(Join({Le(20 + payload.size()), Le(Code("rply")), Le(qwCorrelation, 8), Le(0), payload}));
}
const auto Eat = [](const Bytes& sbuf) { return AsynPacket("eat!", sbuf); };
const auto Feed = [](const Bytes& sbuf) { return AsynPacket("feed", sbuf); };

// The parse, as the fields it filled.
std::string Describe(const Bytes& input) {
  CMSampleBuf buf;
  bool bError = false;
  ParseSampleBuffer(input, buf, bError);
  std::string szText = bError ? "error" : "";
  const auto Add = [&szText](bool bFilled, const std::string& szField) {
    if (bFilled) szText += (szText.empty() ? "" : " ") + szField;
  };
  const auto Text = [](uint32_t n) {
    return n == 0 ? std::string("-")
                  : std::string{char(n >> 24), char(n >> 16), char(n >> 8), char(n)};
  };
  using std::to_string;
  const CMTime& t = buf.PresentationTime;
  const CMFormatDescription& f = buf.FormatDescription;
  Add(t.nTimeScale != 0, "t=" + Numbers('/', t.i64Value, t.nTimeScale, t.nFlags, t.i64Epoch));
  Add(buf.HasFormatDescription, "fd=" + Text(f.MediaType));
  Add(f.VideoWidth != 0, to_string(f.VideoWidth) + "x" + to_string(f.VideoHeight));
  Add(f.CodecType != 0, Text(f.CodecType));
  const bool bSets = ExtractParameterSets(buf);  // again: what it says of the extensions
  Add(bSets, H(f.SPS) + " " + H(f.PPS) + " " + to_string(f.SPS_and_PPS.size()));
  Add(AudioBitsPerChannel(f) != 0, Numbers('/', AudioBitsPerChannel(f), AudioChannelsPerFrame(f),
                                           static_cast<int>(AudioSampleRate(f))));
  Add(buf.NumSamples != 0, "n=" + to_string(buf.NumSamples));
  for (uint32_t nSize : buf.SampleSizes) Add(true, "size=" + to_string(nSize));
  Add(!buf.SampleTimingInfo.empty(), "stia=" + to_string(buf.SampleTimingInfo.size()));
  Add(!buf.SattBytes.empty(), "satt=" + H(buf.SattBytes));
  Add(!buf.SaryBytes.empty(), "sary=" + H(buf.SaryBytes));
  Add(!buf.SampleData.empty(), "sdat=" + H(buf.SampleData));
  return szText;
}

}  // namespace

TEST(CaptureItems, WriterIsByteExactAndReaderStaysInside) {
  const std::pair<Bytes, const char*> written[] = {
      {BoolValue(false), "09000000 766c7562 00"},
      {Int32Value(-2), "0d000000 76626d6e 03 feffffff"},
      {Float64Value(2160.0), "11000000 76626d6e 06 0000000000e0a040"},
      {StringValue("Width"), "0d000000 76727473 5769647468"},
      {DataValue(Hex("0102")), "0a000000 76746164 0102"},
      {DataValue({}), "08000000 76746164"},
  };
  for (const auto& [built, szExpected] : written) EXPECT_EQ(H(built), H(Hex(szExpected)));

  // The tag's wire bytes anywhere, byte by byte, but not in the last four; a header whole or not.
  EXPECT_EQ(FindTag(Hex("76746164 00"), Code("datv")), 0u);
  EXPECT_EQ(FindTag(Hex("00 76746164 00"), Code("datv")), 1u);
  EXPECT_FALSE(FindTag(Hex("0000 76746164"), Code("datv")));
  EXPECT_FALSE(FindTag(Hex("64617476 00"), Code("datv")));
  EXPECT_FALSE(ReadItemHeader(Hex("0d000000 6b7274"), 0));  // a length without its tag
}

TEST(CaptureFraming, TransfersSplitIntoWholePacketsOrAreDroppedWhole) {
  const Bytes clok = SyncPacket("clok", 1, 2, 3);
  const Bytes need = AsynPacket("need", {});
  const Bytes bare = Hex("08000000 676e6970");
  const Bytes largest = Join({Le(0x500000), Le(Code("ping")), Bytes(0x500000 - 8, 0)});
  // Each transfer, and the result and packet of each ReceivePacket it gives (one read each).
  const std::pair<Bytes, std::vector<std::pair<int32_t, Bytes>>> cases[] = {
      {Join({kPing, bare, clok, need}), {{80, kPing}, {8, bare}, {36, clok}, {20, need}}},
      {Hex("05000000 67"), {{0, {}}}},
      {Hex("10000000"), {{4, {}}}},
      {bare, {{8, bare}}},
      {largest, {{0x500000, largest}}},
      // Lying lengths drop the whole transfer.
      {Hex("07000000 676e6970 0000"), {{0, {}}}},
      {Hex("40000000 676e6970 0000"), {{0, {}}}},
      {Join({clok, Hex("30000000 636e7973")}), {{0, {}}}},
      {Join({clok, Hex("00000000 636e7973 00")}), {{0, {}}}},
      {Join({clok, Hex("2400")}), {{0, {}}}},
      {Join({largest, Hex("00")}), {{-75, {}}}},  // more than a read takes
  };
  SimConnection connection;
  ASSERT_TRUE(connection.bConnected);
  std::vector<uint8_t> vecPacket;
  for (size_t i = 0; i < std::size(cases); ++i) {
    vsim::QueueTransfer(connection.nDevice, cases[i].first);
    for (const auto& [nResult, packet] : cases[i].second) {
      EXPECT_EQ(ReceivePacket(*connection.pSession, vecPacket), nResult) << i;
      EXPECT_TRUE(vecPacket == packet) << i;
    }
    EXPECT_EQ(connection.pSession->nPendingLength, 0u) << i;
  }
  connection.pSession->nPendingLength = 0x500001;  // past the buffer: dropped, not read
  EXPECT_EQ(ReceivePacket(*connection.pSession, vecPacket), 0);
  EXPECT_EQ(connection.pSession->nPendingLength, 0u);
}

TEST(CaptureSampleBuffer, FieldsAreReadOnlyWhereTheyFit) {
  const Bytes video = VideoFdsc(kRecord, 640, 480);
  const Bytes audio = AudioFdsc(16, 2, 48000.0);
  Bytes longAudio = Join({audio, Hex("00")});
  longAudio[0] += 1;   // fdsc length
  longAudio[20] += 1;  // asbd length
  const std::string kSets = "6764001facd94050 68ebe3cb ";
  const std::pair<Bytes, std::string> cases[] = {
      {Sbuf({Item("opts", Join({Le(3003, 8), Le(600), Le(1), Le(7, 8)})),
             VideoFdsc(kRecord, 1170, 2532), Item("nsmp", Le(1)),
             Item("ssiz", Join({Le(7), Le(9)})), Item("stia", Bytes(72, 0)),
             Item("satt", Hex("aa")), Item("sary", Hex("bbcc")), Sdat({Hex("650102")})}),
       "t=3003/600/1/7 fd=vide 1170x2532 avc1 " + kSets +
           "27 n=1 size=7 size=9 stia=72 satt=aa sary=bbcc sdat=00000003650102"},
      {Sbuf({audio, Item("sdat", Hex("01")), Item("sdat", Hex("0203"))}),
       "fd=soun 16/2/48000 sdat=0203"},
      // Not a sample buffer: nothing, and no error.
      {{}, ""},
      {Hex("08000000 667562"), ""},
      {Item("sbux", Hex("00")), ""},
      {Join({Hex("40000000 66756273"), Item("sdat", Hex("01"))}), ""},
      // An unknown child fails the buffer; nsmp of another size ends it quietly;
      // odd-sized ssiz and stia are passed over; the last eight bytes are not read.
      {Sbuf({Item("satt", Hex("01")), Item("zzzz", {}), Item("sary", Hex("02"))}), "error satt=01"},
      {Sbuf({Item("nsmp", Le(1, 8)), Item("sdat", Hex("01"))}), ""},
      {Sbuf({Item("ssiz", Bytes(6, 1)), Item("stia", Bytes(71, 0)), Item("sdat", Hex("01"))}),
       "sdat=01"},
      {Sbuf({Item("ssiz", {}), Item("sdat", Hex("01"))}), "sdat=01"},
      {Sbuf({Item("sdat", Hex("01")), Item("zzzz", {})}), "sdat=01"},
      // Declared sizes that do not fit.
      {Sbuf({Item("sdat", Hex("010203")), Hex("04000000 74616473 00")}), "error sdat=010203"},
      {Sbuf({Hex("20000000 74616473 0102030405")}), "error"},
      {Sbuf({Hex("ffffffff 74616473 0102030405")}), "error"},
      {Sbuf({Item("opts", Bytes(23, 0)), Item("sdat", Hex("01"))}), "error"},
      {Sbuf({longAudio}), "error fd=soun"},
      // A tag that does not match ends the description with what was read.
      {Sbuf({Spoiled(video, 8)}), "fd=-"},
      {Sbuf({Spoiled(video, 40)}), "fd=vide 640x480"},
      {Sbuf({Spoiled(video, 52)}), "fd=vide 640x480 avc1"},
      {Sbuf({Spoiled(video, 72)}), "fd=vide 640x480 avc1"},  // datv
      {Sbuf({Spoiled(audio, 24)}), "fd=soun"},
      // The record: as far as it goes at the end of the extensions, else its
      // 15 + SPS + PPS bytes; not at all when SPS, PPS or a length runs past.
      {Sbuf({VideoFdsc(kBaseline)}), "fd=vide 320x240 avc1 " + kSets + "23"},
      {Sbuf({VideoFdsc(Join({kRecord, Hex("99999999")}))}), "fd=vide 320x240 avc1 " + kSets + "27"},
      {Sbuf({VideoFdsc(First(kBaseline, 13))}), "fd=vide 320x240 avc1"},
      {Sbuf({VideoFdsc(First(kBaseline, 18))}), "fd=vide 320x240 avc1"},
      {Sbuf({VideoFdsc(First(kBaseline, 22))}), "fd=vide 320x240 avc1"},
  };
  for (size_t i = 0; i < std::size(cases); ++i)
    EXPECT_EQ(Describe(cases[i].first), cases[i].second) << i;
  // Descriptions too short for the fields read from them.
  for (size_t n : {12, 16, 20, 28, 36, 48, 56, 60})
    EXPECT_TRUE(Describe(Sbuf({Cut(video, n)})).starts_with("error")) << n;
  for (size_t n : {20, 40}) EXPECT_TRUE(Describe(Sbuf({Cut(audio, n)})).starts_with("error")) << n;
}

TEST(CaptureMedia, PacketsReachTheirSlots) {
  const std::string kRec = "CMSampleBuf.FormatDescription.SPS_and_PPS";
  const std::string kHead =
      "CMSampleBuf.HasFormatDescription == true | " + kRec + ".size() == 27 | " + kRec + " : " +
      H(kRecord, true) + "\n | send SPS_and_PPS bFirstProcessVideo == [1] | params:" + H(kRecord);
  const Bytes unit = Sdat({Hex("6501")});
  const Bytes timed = Sbuf({Opts(5, 600)});
  const Bytes big = Sbuf({Item("satt", Bytes(3000, 0xAB))});
  struct Case {
    std::vector<Bytes> packets;  // feed and eat! packets; others go as video
    std::string szErrors;        // per packet
    std::string szCalls;
  };
  const Case cases[] = {
      {{Feed(Sbuf({Opts(1, 60), VideoFdsc(kRecord), Sdat({Hex("060501"), Hex("6588840010")})}))},
       "0",
       "start | " + kHead + " | nal:00000003060501 | nal:000000056588840010 | end*"},
      // Units wait for the first description.
      {{Feed(Sbuf({unit})), Feed(Sbuf({VideoFdsc(kRecord), unit})), Feed(Sbuf({unit}))},
       "100",
       "start | error : not set video head | " + kHead +
           " | nal:000000026501 | end* | nal:000000026501 | end*"},
      // Without sample data the whole buffer goes to the log, cut to keep the line whole.
      {{Feed(timed)}, "0", "start | " + kEmpty + H(timed, true) + "\n"},
      {{Feed(big)}, "0", "start | " + kEmpty + H(First(big, 992), true) + "\n"},
      {{Hex("0c000000 6e797361 00000000"), {}},
       "00",
       "start | " + kEmpty + "\n | " + kEmpty + "\n"},
      {{Feed(Sbuf({Spoiled(VideoFdsc(kRecord), 72), unit}))},
       "0",
       "start | CMSampleBuf.HasFormatDescription == true | " + kRec + ".size() == 0 | " + kRec +
           " : \n | send SPS_and_PPS bFirstProcessVideo == [1] | nal:000000026501 | end*"},
      // A unit past the data ends the walk (those before end the sample); a bad buffer: nothing.
      {{Feed(Sbuf({VideoFdsc(kRecord), Item("sdat", Hex("00000002 6501 00000009 4102"))})),
        Feed(Sbuf({Item("sdat", Hex("ffffffff 65"))})), Feed(Sbuf({Item("sdat", Hex("000000"))}))},
       "000",
       "start | " + kHead + " | nal:000000026501 | end*"},
      {{Feed(Sbuf({unit, Item("what", Hex("00"))}))}, "1", "start"},
      // Audio: format, data, marks (first and last presentation and local ms); no scale, no mark.
      {{Eat(Sbuf({Opts(0, 48000), AudioFdsc(16, 2, 48000.0), Item("sdat", Hex("01020304"))})),
        Eat(Sbuf({Opts(48000, 48000), Item("sdat", Hex("05"))})),
        Eat(Sbuf({Item("sdat", Hex("06"))}))},
       "000",
       "start | AudioFormat[16][2][48000.00] | format:16 2 48000 1 | audio:01020304 | marks:0 100"
       " 0 100 | audio:05 | marks:0 100 1000 1100 | audio:06 | marks:0 100 1000 1100"},
      {{Eat(Sbuf({Opts(600, 600), Item("sdat", Hex("01"))}))},
       "1",
       "start | warning : not set audio head | marks:1000 100 1000 100"},
      // A rate no 32-bit integer holds is clamped.
      {{Eat(Sbuf({AudioFdsc(16, 2, -3e9)})), Eat(Sbuf({AudioFdsc(16, 2, std::nan(""))}))},
       "00",
       "start | AudioFormat[16][2][-3000000000.00] | format:16 2 -2147483648 1 | "
       "AudioFormat[16][2][nan] | format:16 2 0 1"},
  };
  for (size_t i = 0; i < std::size(cases); ++i) {
    UseVirtualClock(50'000);
    CaptureSession session;
    session.qwLocalClockStart = 49'900;
    Recorder recorder;
    std::string szErrors;
    for (const Bytes& packet : cases[i].packets) {
      const bool bEat = packet.size() >= 20 && H(packet).substr(32, 8) == H(Le(Code("eat!")));
      bool bError = false;
      ReceiveAsynPacket(session, packet, bEat ? kMediaSoun : kMediaVide, &bError);
      szErrors += bError ? "1" : "0";
      AdvanceVirtualClock(1000);
      if (!session.bAudioClockStarted) continue;
      Push("marks:" + Numbers(' ', session.qwFirstAudioPts, session.qwFirstAudioLocal,
                              session.qwLastAudioPts, session.qwLastAudioLocal));
    }
    EXPECT_EQ(szErrors, cases[i].szErrors) << i;
    EXPECT_EQ(Joined(g_vecCalls), cases[i].szCalls) << i;
  }
  UseRealClock();
}

TEST(CaptureLoop, DevicePacketsGetTheirAnswers) {
  const std::string kLost = " | " + Line(kLogDeviceDisconnected, -19) + " | lost";
  const std::string kNeed = W(AsynPacket("need", {}, 0x10));
  const std::string kCvrp = kNeed + Reply(0x77, Le(0x1000BF, 8)) + kNeed;
  const std::string kCvrpLines =
      "Send NEED 0x0000000000000010 | Send CVRP-RPLY {correlation:0x0000000000000077, "
      "clockRef:0x00000000001000bf}";
  const std::string kNoData = kEmpty + "0800000066756273\n";
  const auto Request = [](const char(&sz)[5], size_t n) { return Cut(SyncPacket(sz, 1, 2, 3), n); };
  const std::string kKeepAlive = "control 0x40 0x40 0x6400 0x6400 0\n" + W(kPing);
  const std::string kDropped = "ReceiveAsynPacket error: dropped (", kInARow = " in a row)";
  const Bytes kBadEat = Eat(Sbuf({Item("what", Hex("00"))}));
  const uint64_t kId = 0x1122334455667788;
  struct Case {
    std::vector<Bytes> transfers;  // from the device, each read once
    std::string szWrites;          // the host's side of the transcript
    std::string szCalls;           // after the name lookup's line
    uint64_t qwMs;                 // virtual time taken, 250 ms a read
    int nStopAtRead = 0;           // 0: unplugged after its transfers (and lost); -1: neither
    int32_t nRunState = kRunRunning;
  };
  const Case cases[] = {
      // Pings of 9+ bytes are answered, 8 bytes or a dropped transfer are no packet; unknown
      // kinds are logged, unknown sub-types passed over.
      {{Hex("08000000 676e6970"), Join({Le(9), Le(Code("ping")), Hex("00")}), Hex("010203"),
        Hex("07000000 676e6970 00"), kPing, Join({Le(12), Le(0xDEADBEEF), Le(0)}),
        Join({Le(28), Le(Code("rply")), Bytes(20, 0)}), SyncPacket("zzzz", 1, 2, 3),
        AsynPacket("need", Le(0)), AsynPacket("hpd1", {})},
       W(kPing) + W(kPing),
       "PING received | PING received | ReceiveLoop unknown magic type:(0xdeadbeef) | ReceiveLoop "
       "unknown magic type:(0x72706c79)",
       2750},
      // Requests too short for the fields their handlers read go unanswered.
      {{Request("cwpa", 35), Request("cvrp", 35), Request("afmt", 27), Request("clok", 27),
        Request("time", 27), Request("go! ", 27), Request("skew", 27), Request("stop", 27),
        Request("clok", 12), Cut(Feed(Sbuf({})), 19), Request("clok", 28)},
       Reply(2, Le(0x10001, 8)),
       "RECV : SYNC_CLOK : {ClockRef:0x0000000000000001, CorrelationID:0x0000000000000002} | Send "
       "SYNC_CLOK {correlation:0x0000000000000002, clockRef:0x0000000000010001}",
       3000},
      {{SyncPacket("cwpa", 0, kId, 5)},
       W(BuildHPD1Packet()) + W(BuildHPD1Packet()) + Reply(kId, Le(1005, 8)) +
           W(BuildHPA1Packet(5)),
       "warning CWPA packet should have empty CFTypeID for ClockRef but has:0x0000000000000000\n | "
       "RECV : SYNC_CWPA {ClockRef:0x0000000000000000, CorrelationID:0x1122334455667788, "
       "DeviceClockRef:0x0000000000000005} | SendHPD1 Valeria[1] w[2160] h[3840] | SendHPA1",
       500},
      // A NEED for each feed after the cvrp; the third unusable packet of a kind in a row resets.
      {{Feed(Sbuf({})), SyncPacket("cvrp", 0, 0x77, 0x10), Feed(Sbuf({})), kBadEat, Eat(Sbuf({})),
        Eat(Sbuf({AudioFdsc(16, 2, 48000.0)})), kBadEat, kBadEat, kBadEat, kPing},
       kCvrp + "reset\n",
       "start | " + kNoData + " | " + kCvrpLines + " | " + kNoData + " | " + kDropped + "1" +
           kInARow + " | warning : not set audio head | " + kDropped + "2" + kInARow +
           " | AudioFormat[16][2][48000.00] | format:16 2 48000 1 | " + kDropped + "1" + kInARow +
           " | " + kDropped + "2" + kInARow + " | ReceiveAsynPacket error",
       2250,
       -1},
      // An unusable transfer may have been a feed: one NEED till the next; again after 1.5 s.
      {{SyncPacket("cvrp", 0, 0x77, 0x10), Hex("010203"), Hex("01")},
       kNeed + Reply(0x77, Le(0x1000BF, 8)) + kNeed + kKeepAlive + kNeed + kKeepAlive,
       kCvrpLines + " | NEED again: a transfer could not be used | 116 | NEED again: no picture "
                    "for 1500 ms | 116",
       4500,
       6},
      // No picture within 5 s of the connection: the handshake is given up.
      {{},
       kKeepAlive + kKeepAlive + kKeepAlive + kKeepAlive + "reset\n",
       "116 | 116 | 116 | 116 | no picture within 5000 ms of the connection",
       5000,
       9},
      // Silence: a keep-alive and a ping each second, not in the read the stop came in.
      {{}, kKeepAlive, "116", 2500, 2},
      {{}, "", Line(kLogUnknownRunState, 7), 0, -1, 7},
      // The time counts from the clok.
      {{SyncPacket("afmt", 3, kId, 0xFFFF), SyncPacket("go! ", 3, 8, 0),
        SyncPacket("clok", 0x1234, 9, 0), SyncPacket("time", 0x99, 10, 0)},
       Reply(kId, Hex("2a000000 74636964 22000000 7679656b 0d000000 6b727473 4572726f72"
                      "0d000000 76626d6e 03 00000000")) +
           Reply(8, Le(0)) + Reply(9, Le(0x11234, 8)) +
           Reply(10, Join({Le(250, 8), Le(1000), Le(1), Le(0, 8)})),
       "RECV : SYNC_AFMT : {ClockRef:0x0000000000000003, CorrelationID:0x1122334455667788} | "
       "RECV : SYNC_OG : {ClockRef:0x0000000000000003, CorrelationID:0x0000000000000008} | "
       "RECV : SYNC_CLOK : {ClockRef:0x0000000000001234, CorrelationID:0x0000000000000009} | "
       "Send SYNC_CLOK {correlation:0x0000000000000009, clockRef:0x0000000000011234} | "
       "RECV : SYNC_TIME : {ClockRef:0x0000000000000099, CorrelationID:0x000000000000000a} | "
       "Send TIME-REPLY {CorrelationID:0x000000000000000a, qwID: 4660, time:250}",
       1250},
      // Skew: 48 kHz -/+ (host's minus device's audio time over a span) / 48; nominal after stop.
      {{Eat(Sbuf({Opts(0, 1000), AudioFdsc(16, 2, 48000.0)})), Eat(Sbuf({Opts(100, 1000)})),
        SyncPacket("skew", 0, 1, 0), Eat(Sbuf({Opts(2000, 1000)})), SyncPacket("skew", 0, 2, 0),
        SyncPacket("stop", 0, 3, 0), SyncPacket("skew", 0, 4, 0), Eat(Sbuf({Opts(5000, 1000)})),
        SyncPacket("skew", 0, 5, 0)},
       Reply(1, F64(48000.0 - 150.0 / 48)) + Reply(2, F64(48000.0 + 1250.0 / 48)) +
           Reply(3, Le(0)) + Reply(4, F64(48000.0)) + Reply(5, F64(48000.0)),
       "start | AudioFormat[16][2][48000.00] | format:16 2 48000 1 | RECV : SYNC_STOP : "
       "{ClockRef:0x0000000000000000, CorrelationID:0x0000000000000003}",
       2500},
  };
  for (size_t i = 0; i < std::size(cases); ++i) {
    const Case& c = cases[i];
    SimConnection connection;
    ASSERT_TRUE(connection.bConnected);
    CaptureSession& session = *connection.pSession;
    session.nRunState.store(c.nRunState);
    for (const Bytes& transfer : c.transfers) vsim::QueueTransfer(connection.nDevice, transfer);
    if (c.nStopAtRead == 0) vsim::QueueUnplug(connection.nDevice);
    int nReads = 0;
    vsim::SetReadHook([&] {
      AdvanceVirtualClock(250);
      if (++nReads == c.nStopAtRead) session.nRunState.store(kRunStopRequested);
    });
    Recorder recorder;
    const uint64_t qwStart = ClockTicks();
    EXPECT_TRUE(ReceiveLoop(session));
    EXPECT_EQ(ClockTicks() - qwStart, c.qwMs) << i;
    EXPECT_EQ(connection.HostEvents(), c.szWrites) << i;
    EXPECT_EQ(Joined(g_vecCalls), c.szCalls + (c.nStopAtRead == 0 ? kLost : "")) << i;
  }
}

// The device checks the answers; here, x264 pictures (and a size change) reach the slots unchanged.
TEST(CaptureSession, PicturesReachTheVideoSlotsAndEveryRequestItsAnswer) {
  vtest::QuietFfmpegLogs();
  const vtest::H264Stream stream = vtest::MakeH264Stream(
      {.nFrames = 5, .nSlices = 2, .nSecondWidth = 160, .nSecondHeight = 128, .nSecondFrames = 5});
  const std::vector<vtest::DeviceSample> samples = vtest::ToDeviceSamples(stream.accessUnits);
  SimConnection connection(vtest::JoinAccessUnits(stream.accessUnits));
  const int nDevice = connection.nDevice;
  Recorder recorder;
  // The device stops past picture 50 (whose transfer brings a skew), the host at a keep-alive.
  bool bStopAsked = false;
  vsim::SetReadHook([&] {
    if (!bStopAsked && vsim::FramesSent(nDevice) >= 55) vsim::RequestStop(nDevice);
    bStopAsked = vsim::FramesSent(nDevice) >= 55;
    if (bStopAsked && vsim::TranscriptText().find("control 0x40 0x40") != std::string::npos)
      connection.pSession->nRunState.store(kRunStopRequested);
  });
  EXPECT_EQ(CaptureThreadProc(connection.pSession.get()), 0u);

  EXPECT_EQ(vsim::ProtocolErrors(), std::vector<std::string>{});
  const int nSent = vsim::FramesSent(nDevice);
  EXPECT_GE(nSent, 55);
  std::string szExpected, szMedia;
  for (int i = 0; i < nSent; ++i) {
    const vtest::DeviceSample& sample = samples[static_cast<size_t>(i) % samples.size()];
    if (!sample.record.empty()) szExpected += "params:" + H(sample.record) + " | ";
    for (const Bytes& unit : sample.units) szExpected += "nal:" + H(unit) + " | ";
    szExpected += HasIdrSlice(vtest::JoinAccessUnits(sample.units)) ? "end* | " : "end | ";
  }
  for (const std::string& szCall : g_vecCalls) {
    const bool bMedia = szCall.starts_with("params:") || szCall.starts_with("nal:");
    szMedia += bMedia || szCall.starts_with("end") ? szCall + " | " : "";
    EXPECT_FALSE(szCall.starts_with("warning") || szCall.starts_with("error")) << szCall;
  }
  EXPECT_TRUE(szMedia == szExpected);

  // A NEED after the cvrp and each picture, echoing the cvrp's clock; a reply to all 7 requests.
  const Bytes need = AsynPacket("need", {}, 0x7FA66D0175C0);
  int nNeeds = 0, nReplies = 0;
  for (const vsim::Event& e : vsim::Transcript()) {
    nNeeds += e.vecBytes == need;
    nReplies += e.vecBytes.size() > 8 && H(e.vecBytes).substr(8, 8) == "796c7072";
  }
  EXPECT_EQ(nNeeds, nSent + 1);
  EXPECT_EQ(nReplies, 7);
}
