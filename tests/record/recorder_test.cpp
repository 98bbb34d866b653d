// The recorder as the capture thread feeds it.
#include "record/recorder.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <mutex>

#include "avc/access_unit.h"
#include "avc/avc_units.h"
#include "support/h264_maker.h"
#include "support/media_read.h"
#include "support/reference_decode.h"

using namespace vtest;
using enum RecordEvent;

namespace {

std::atomic<uint64_t> g_qwTicks{0};
std::atomic<bool> g_bWriterHeld{false};  // the writing thread waits in its clock (a slow disk)
std::atomic<bool> g_bWriterWaiting{false};

std::mutex g_EventMutex;
std::vector<RecordEvent> g_Events;
void OnEvent(void*, RecordEvent event, const std::string&, const std::string&) {
  const std::lock_guard lock(g_EventMutex);
  g_Events.push_back(event);
}
uint64_t HeldTicks() {
  g_bWriterWaiting = g_bWriterHeld.load();
  while (g_bWriterHeld) usleep(1000);
  return g_qwTicks.load();
}

constexpr uint32_t kNs = 1000000000;
constexpr int64_t kFrameNs = 16666667;

class RecorderTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { QuietFfmpegLogs(); }
  void SetUp() override {
    g_Events.clear();
    const H264Stream stream = MakeH264Stream({.nFrames = 40, .nKeyInterval = 10});
    m_Samples = ToDeviceSamples(stream.accessUnits);
    m_Reference = ReferenceDecode(JoinAccessUnits(stream.accessUnits));
  }
  void TearDown() override { std::remove(m_szPath.c_str()); }

  void Make(size_t nMaxPrerollBytes = kMaxPrerollBytes) {
    m_pRecorder = CreateRecorder(
        {.pfnEvent = OnEvent, .pfnTicks = HeldTicks, .nMaxPrerollBytes = nMaxPrerollBytes});
    ASSERT_NE(m_pRecorder, nullptr);
  }

  // Pictures [nFrom, nTo) as the capture thread hands them on, 800 frames of
  // sound each, at device time i x 16.67 ms and local time qwTicksBase ms later.
  void Feed(size_t nFrom, size_t nTo, uint64_t qwTicksBase = 0) {
    for (size_t i = nFrom; i < nTo; ++i) {
      const int64_t i64Ns = static_cast<int64_t>(i) * kFrameNs;
      g_qwTicks = qwTicksBase + static_cast<uint64_t>(i64Ns / 1000000);
      const DeviceSample& sample = m_Samples[i];
      if (!sample.record.empty()) m_Record = sample.record;
      const Bytes picture = JoinAccessUnits(sample.units);
      RecorderAccessUnit(m_pRecorder.get(), {picture, m_Record, !sample.record.empty(), i64Ns, kNs,
                                             g_qwTicks, HasIdrSlice(picture)});
      const Bytes sound(800 * 4, static_cast<uint8_t>(i));
      RecorderSoundTime(*m_pRecorder, i64Ns * 48000 / kNs, 48000);
      RecorderAudioData(*m_pRecorder, sound.data(), static_cast<int32_t>(sound.size()), g_qwTicks);
    }
  }

  ReadBack Finish() {
    DestroyRecorder(m_pRecorder);
    return ReadRecording(m_szPath);
  }

  std::string m_szPath = (std::filesystem::temp_directory_path() /
                          ("veltrona-recorder-" + std::to_string(getpid()) + ".mkv"))
                             .string();
  std::vector<DeviceSample> m_Samples;
  Bytes m_Record;  // in force
  std::vector<ReferencePicture> m_Reference;
  std::unique_ptr<Recorder> m_pRecorder;
};

// Started between keyframes: the file begins with the last keyframe received.
// Past the pre-roll's bound (room for any keyframe, not for one with the next
// four pictures and five pieces of sound; or none) it begins at the next one.
TEST_F(RecorderTest, StartedMidStreamBeginsAtAKeyframe) {
  size_t nBound = 0, nFirstFive = 5 * 800 * 4;
  for (size_t i = 0; i < m_Samples.size(); ++i) {
    const size_t nBytes = JoinAccessUnits(m_Samples[i].units).size();
    if (i % 10 == 0) nBound = std::max(nBound, nBytes + 800 * 4);
    if (i >= 10 && i < 15) nFirstFive += nBytes;
  }
  ASSERT_GT(nFirstFive, nBound);
  const std::tuple<size_t, size_t, RecordEvent> cases[] = {{kMaxPrerollBytes, 10, Started},
                                                           {nBound, 20, StartedAtNextKeyframe},
                                                           {0, 20, StartedAtNextKeyframe}};
  for (const auto& [nMaxPrerollBytes, nFirst, started] : cases) {
    g_Events.clear();
    std::remove(m_szPath.c_str());  // else the second recording goes to "... (2).mkv"
    Make(nMaxPrerollBytes);
    RecorderAudioFormat(*m_pRecorder, 16, 2, 48000);
    Feed(0, 15);
    RecorderStart(*m_pRecorder, m_szPath);
    EXPECT_TRUE(RecorderIsRecording(*m_pRecorder));
    Feed(15, 25);
    RecorderAudioFormat(*m_pRecorder, 16, 2, 48000);  // said again: the file goes on
    Feed(25, 40);
    const ReadBack read = Finish();
    EXPECT_EQ(read.nDecodeErrors, 0);
    ASSERT_TRUE(std::ranges::equal(read.pictures, std::span(m_Reference).subspan(nFirst)));
    EXPECT_EQ(read.vecVideoPtsUs.front(), 0) << "the file starts at 0";
    EXPECT_EQ(read.sound.size(), (40 - nFirst) * 800 * 4);
    EXPECT_EQ(g_Events, (std::vector{started, Saved}));
  }
}

// The disk stalls: past the queue's bound sound and format records (a device alternating two)
// are dropped, the loss is told once, the file goes on from the next keyframe. Then the device
// comes back with its clock started over: the same file goes on, after the time without it; its
// sound, in a format the file cannot hold, is left out.
TEST_F(RecorderTest, WhatDoesNotFitTheQueueIsDroppedAndToldAndAReconnectContinues) {
  Make();
  RecorderStart(*m_pRecorder, m_szPath);
  RecorderNewConnection(*m_pRecorder, 0);
  RecorderAudioFormat(*m_pRecorder, 16, 2, 48000);
  Feed(0, 12);
  g_bWriterHeld = true;
  while (!g_bWriterWaiting) usleep(1000);
  const Bytes records[] = {m_Samples[0].record, Bytes(m_Samples[0].record.size(), 0x01)};
  for (int i = 1; i <= 700000; ++i)
    RecorderAccessUnit(m_pRecorder.get(), {{}, records[i % 2], true});
  const Bytes sound(1 << 20, 0);
  for (int i = 0; i < 70; ++i)
    RecorderAudioData(*m_pRecorder, sound.data(), static_cast<int32_t>(sound.size()), 700 + i);
  {
    const std::lock_guard lock(m_pRecorder->mutex);
    EXPECT_TRUE(m_pRecorder->nQueuedBytes <= kMaxQueuedBytes && m_pRecorder->bLost);
  }
  g_bWriterHeld = false;
  for (bool bFull = true; bFull; usleep(1000)) {
    const std::lock_guard lock(m_pRecorder->mutex);
    bFull = !m_pRecorder->queue.empty();
  }
  Feed(12, 40, 1000);
  RecorderNewConnection(*m_pRecorder, 2000);
  RecorderAudioFormat(*m_pRecorder, 24, 2, 48000);  // left out, and said once
  Feed(0, 20, 3000);  // the device's clock starts over, the local one runs on
  const ReadBack read = Finish();
  EXPECT_EQ(read.nDecodeErrors, 0);
  ASSERT_EQ(read.pictures.size(), 52u) << "pictures 12 to 19 wait for the keyframe";
  EXPECT_TRUE(read.pictures[32] == m_Reference[0]);
  ASSERT_EQ(read.vecVideoPtsUs.size(), 52u);
  EXPECT_NEAR(static_cast<double>(read.vecVideoPtsUs[32]), 3000000, 2000);
  EXPECT_TRUE(std::ranges::is_sorted(read.vecVideoPtsUs, std::less_equal<>()));
  EXPECT_EQ(g_Events, (std::vector{Started, SamplesLost, SoundLeftOut, Saved}));
}

TEST_F(RecorderTest, AFileThatCannotBeCreatedEndsTheRecording) {
  Make();
  RecorderAudioFormat(*m_pRecorder, 16, 2, 48000);
  Feed(0, 5);
  for (const char* szPath : {"/nonexistent-folder/a.mkv", "/nonexistent-folder/b.mkv"}) {
    EXPECT_TRUE(RecorderToggle(*m_pRecorder, szPath)) << "R starts one (again)";
    for (int i = 0; i < 200 && RecorderIsRecording(*m_pRecorder); ++i) usleep(10000);
    EXPECT_FALSE(RecorderIsRecording(*m_pRecorder)) << "it ends on its own";
  }
  EXPECT_TRUE(RecorderToggle(*m_pRecorder, m_szPath));
  EXPECT_FALSE(RecorderToggle(*m_pRecorder, m_szPath)) << "R stops it";
  DestroyRecorder(m_pRecorder);
  EXPECT_EQ(g_Events, (std::vector{NotCreated, NotCreated, Started, Saved}))
      << "the file is made with its name";
}

using Said = std::pair<RecordEvent, std::string>;
std::vector<Said> g_WriterEvents;
// Each event with its file; a loss with the hole's length.
void OnWriterEvent(void*, RecordEvent event, const std::string& szFile,
                   const std::string& szDetail) {
  g_WriterEvents.emplace_back(event, event == SamplesLost ? szDetail : szFile);
}

// The device's pictures, 16.67 ms apart, as the writer takes them; a loss of
// 2.5 s after picture nLostAfter.
void WritePictures(RecordWriter& writer, const std::vector<DeviceSample>& samples,
                   size_t nLostAfter = SIZE_MAX) {
  for (size_t i = 0; i < samples.size(); ++i) {
    if (!samples[i].record.empty()) WriterVideoFormat(writer, samples[i].record);
    RecordSample sample{.i64TimeUs = static_cast<int64_t>(i) * 16667,
                        .vecData = JoinAccessUnits(samples[i].units)};
    sample.bKeyframe = HasIdrSlice(sample.vecData);
    WriterVideo(writer, sample, 0);
    if (i == nLostAfter) WriterLost(writer, 1000, 3500);
  }
}

// An MP4 goes on in "name (2).mp4" at a size change (the width alone), a Matroska file holds
// both; a loss is told with the hole's length, and the file goes on from the next keyframe.
TEST(RecordWriter, AnMp4GoesOnInANewFileAtASizeChangeAndLossIsTold) {
  QuietFfmpegLogs();
  const std::vector<DeviceSample> samples = ToDeviceSamples(
      MakeH264Stream({.nFrames = 6, .nSecondWidth = 240, .nSecondHeight = 240, .nSecondFrames = 6})
          .accessUnits);
  for (const char* szExtension : {"mp4", "mkv"}) {
    const std::string szStem = "/tmp/veltrona-writer-" + std::to_string(getpid());
    const std::string szPath = szStem + "." + szExtension,
                      szSecond = szStem + " (2)." + szExtension;
    g_WriterEvents.clear();
    RecorderHooks hooks;
    hooks.pfnEvent = OnWriterEvent;
    RecordWriter writer;
    InitRecordWriter(writer, hooks);
    WriterAudioFormat(writer, {48000, 2}, true);
    WriterStart(writer, szPath);
    WritePictures(writer, samples, 3);
    WriterStop(writer, 0);
    const bool bMp4 = szExtension == std::string("mp4");
    std::vector<Said> expected = {{Started, szPath},
                                  {SamplesLost, "2.5 s"},
                                  {Saved, szPath},
                                  {Continued, szSecond},
                                  {Saved, szSecond}};
    expected.resize(bMp4 ? 5 : 3);
    EXPECT_EQ(g_WriterEvents, expected) << szExtension;
    const ReadBack first = ReadRecording(szPath), second = ReadRecording(szSecond);
    EXPECT_EQ(std::tuple(first.nDecodeErrors + second.nDecodeErrors, first.pictures.size(),
                         second.pictures.size(), first.pictures.back().nWidth),
              std::tuple(0, bMp4 ? 4u : 10u, bMp4 ? 6u : 0u, bMp4 ? 320 : 240))
        << "pictures 4 and 5 fell into the hole";
    std::remove(szPath.c_str());
    std::remove(szSecond.c_str());
  }
}

// The disk fills up (a file size limit, for this process a moment): the
// recording ends, and says so once.
TEST(RecordWriter, AFailedWriteEndsTheRecordingAndSaysSo) {
  const std::vector<DeviceSample> samples =
      ToDeviceSamples(MakeH264Stream({.nFrames = 30}).accessUnits);
  const std::string szPath = "/tmp/veltrona-full-" + std::to_string(getpid()) + ".mkv";
  g_WriterEvents.clear();
  RecordWriter writer;
  InitRecordWriter(writer, {.pfnEvent = OnWriterEvent});
  WriterAudioFormat(writer, {48000, 2}, true);
  WriterStart(writer, szPath);
  rlimit limit{};
  getrlimit(RLIMIT_FSIZE, &limit);
  const rlimit full{4096, limit.rlim_max};
  const auto previous = std::signal(SIGXFSZ, SIG_IGN);
  setrlimit(RLIMIT_FSIZE, &full);
  WritePictures(writer, samples);
  WriterTick(writer, 60000);  // the muxer's buffers go to the disk
  setrlimit(RLIMIT_FSIZE, &limit);
  std::signal(SIGXFSZ, previous);
  EXPECT_FALSE(WriterRecording(writer));
  std::remove(szPath.c_str());
  EXPECT_EQ(g_WriterEvents, (std::vector<Said>{{Started, szPath}, {Failed, szPath}}));
}

}  // namespace
