// Files written from x264's H.264 and read back by FFmpeg; the PNG of a screenshot.
#include "record/media_file.h"

#include <gtest/gtest.h>
#include <malloc.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>

#include "avc/avc_units.h"
#include "record/avc_stream.h"
#include "record/png_file.h"
#include "support/h264_maker.h"
#include "support/media_read.h"
#include "support/reference_decode.h"

using namespace vtest;

namespace {

constexpr int64_t kFrameUs = 16667;
const RecordAudioFormat kStereo48k{48000, 2};

// What the heap holds (glibc's count; a sanitizer's allocator is not counted).
size_t HeapInUse() {
  return mallinfo2().uordblks + mallinfo2().hblkhd;
}

std::string TempPath(const std::string& szName) {
  return (std::filesystem::temp_directory_path() /
          ("veltrona-record-" + std::to_string(getpid()) + "-" + szName))
      .string();
}

// A device's picture: the record in force, its length-prefixed units.
struct Picture {
  Bytes record, units;
};

std::vector<Picture> DevicePictures(const H264Stream& stream) {
  std::vector<Picture> pictures;
  Bytes record;
  for (const DeviceSample& sample : ToDeviceSamples(stream.accessUnits)) {
    if (!sample.record.empty()) record = sample.record;
    pictures.push_back({record, JoinAccessUnits(sample.units)});
  }
  return pictures;
}

Bytes Sound(int nPicture) {
  Bytes sound(800 * 4);  // 16.67 ms of 48 kHz stereo
  for (size_t i = 0; i < sound.size(); ++i) sound[i] = static_cast<uint8_t>(nPicture * 7 + i);
  return sound;
}

bool Open(MediaFile& file, const std::string& szPath, const Picture& first) {
  int32_t nWidth = 0, nHeight = 0;
  EXPECT_TRUE(ReadPictureSize(first.record, first.units, nWidth, nHeight));
  std::string szError;
  const bool bOpen =
      OpenMediaFile(file, szPath, first.record, nWidth, nHeight, &kStereo48k, 0, szError);
  EXPECT_TRUE(bOpen) << szError;
  return bOpen;
}

class MediaFileTest : public ::testing::TestWithParam<const char*> {
 protected:
  static void SetUpTestSuite() { QuietFfmpegLogs(); }
  void TearDown() override { std::remove(m_szPath.c_str()); }
  std::string m_szPath = TempPath(std::string("file.") + GetParam());
};

// A size change in the middle (a rotation, a reconnect): every picture as FFmpeg's own decode. A
// picture with the time of one before keeps its order, one tick later. The sound is there byte
// for byte, a gap in it is silence. A still screen: the silence under it is flushed as it goes,
// the picture after it keeps its time (MP4's next fragment starts at its first packet, not where
// the last ended), and the last holds until the recording ends.
TEST_P(MediaFileTest, KeepsEveryPictureTheSoundAndTheTimes) {
  const H264Stream stream = MakeH264Stream(
      {.nFrames = 12, .nSecondWidth = 240, .nSecondHeight = 320, .nSecondFrames = 12});
  const std::vector<Picture> pictures = DevicePictures(stream);
  MediaFile file;
  ASSERT_TRUE(Open(file, m_szPath, pictures[0]));
  Bytes allSound;
  for (size_t i = 0; i < pictures.size(); ++i) {
    const bool bLast = i + 1 == pictures.size();  // after 9.6 s of a still screen
    const int64_t i64Time = bLast ? 10000000 : static_cast<int64_t>(i) * kFrameUs;
    for (int64_t i64Until = 500000; bLast && i64Until < 9500000; i64Until += 500000)
      ASSERT_TRUE(FillSilence(file, i64Until) && FlushMediaFile(file));
    const int64_t i64PictureTime = i == 5 || i == 6 ? 4 * kFrameUs : i64Time;  // a repeat, one back
    ASSERT_TRUE(WriteVideo(file, pictures[i].units, HasIdrSlice(pictures[i].units),
                           pictures[i].record, i64PictureTime));
    const Bytes sound = Sound(static_cast<int>(i));
    if (bLast) allSound.resize(480000 * 4, 0);
    ASSERT_TRUE(WriteAudio(file, sound, i64Time));
    allSound.insert(allSound.end(), sound.begin(), sound.end());
  }
  ASSERT_TRUE(CloseMediaFile(file, 11000000));

  const ReadBack read = ReadRecording(m_szPath);
  EXPECT_EQ(read.nDecodeErrors, 0);
  const auto expected = ReferenceDecode(JoinAccessUnits(stream.accessUnits));
  EXPECT_TRUE(read.pictures == expected);  // the second size (240 wide) too
  ASSERT_EQ(read.vecVideoPtsUs.size(), expected.size());
  EXPECT_TRUE(std::ranges::is_sorted(read.vecVideoPtsUs, std::less_equal<>()));
  EXPECT_LT(read.vecVideoPtsUs[6] - read.vecVideoPtsUs[4], 2500) << "a tick or two, not a frame";
  for (const size_t i : {size_t{0}, size_t{3}, size_t{22}})
    EXPECT_NEAR(read.vecVideoPtsUs[i], static_cast<int64_t>(i) * kFrameUs, 1000) << i;
  EXPECT_NEAR(read.vecVideoPtsUs.back(), 10000000, 1000);
  EXPECT_EQ(read.nSoundRate, 48000);
  allSound.resize(11 * 48000 * 4, 0);  // silence under the last picture, to the end
  EXPECT_EQ(read.sound, allSound);
  EXPECT_NEAR(read.dDurationSeconds, 11.0, 0.05);
}

// The disk fills up mid-recording (here: a file size limit): a write fails,
// the file is closed, and what was written plays without an error.
TEST_P(MediaFileTest, AFullDiskStopsCleanlyAndWhatWasWrittenPlays) {
  const std::vector<Picture> pictures =
      DevicePictures(MakeH264Stream({.nFrames = 120, .nKeyInterval = 30}));
  const pid_t pid = fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    std::signal(SIGXFSZ, SIG_IGN);
    const rlimit limit{48 * 1024, 48 * 1024};
    setrlimit(RLIMIT_FSIZE, &limit);
    MediaFile file;
    if (!Open(file, m_szPath, pictures[0])) _exit(2);
    bool bFailed = false;
    for (size_t i = 0; i < pictures.size() && !bFailed; ++i) {
      const int64_t i64Time = static_cast<int64_t>(i) * kFrameUs;
      bFailed = !WriteVideo(file, pictures[i].units, i % 30 == 0, pictures[i].record, i64Time) ||
                !WriteAudio(file, Sound(1), i64Time) || (i % 10 == 9 && !FlushMediaFile(file));
    }
    const bool bSilenceFailed = !FillSilence(file, 60000000);  // the error stays
    const bool bClosed = CloseMediaFile(file, 0);
    _exit(bFailed && bSilenceFailed && !bClosed && file.nError != 0 ? 0 : 3);
  }
  int nStatus = 0;
  waitpid(pid, &nStatus, 0);
  ASSERT_TRUE(WIFEXITED(nStatus) && WEXITSTATUS(nStatus) == 0)
      << "the write did not fail, or the failure was not told";
  const ReadBack read = ReadRecording(m_szPath);
  EXPECT_EQ(read.nDecodeErrors, 0);
  EXPECT_GE(read.pictures.size(), 5u);
  EXPECT_LT(read.pictures.size(), pictures.size());
}

INSTANTIATE_TEST_SUITE_P(Containers, MediaFileTest, ::testing::Values("mkv", "mp4"));

TEST(Containers, ChosenByTheNameAndAPictureSizeReadWithoutATrace) {
  const std::pair<const char*, bool> cases[] = {
      {"a.mp4", true}, {"a.MP4", true},    {"a.mov", true}, {"a.mkv", false},
      {"a", false},    {"x.mp4/a", false}, {"a.m4v", true}, {"a.webm", false}};
  for (const auto& [szName, bMp4] : cases) EXPECT_EQ(IsMp4Name(szName), bMp4) << szName;
  MediaFile file;  // a record without parameter sets makes no file
  std::string szError;
  EXPECT_FALSE(OpenMediaFile(file, TempPath("bad.mkv"), Bytes{1, 0x64, 0, 0x1F, 0xFF, 0xE0, 0}, 16,
                             16, nullptr, 0, szError));
  EXPECT_FALSE(szError.empty());
  // Each look at a picture's size has a parser of its own (about 100 KiB with
  // its parameter sets), and lets it go.
  const Picture picture = DevicePictures(MakeH264Stream({.nFrames = 1}))[0];
  const size_t nBefore = HeapInUse();
  int32_t nWidth = 0, nHeight = 0;
  for (int i = 0; i < 50; ++i) ReadPictureSize(picture.record, picture.units, nWidth, nHeight);
  EXPECT_EQ(std::pair(nWidth, nHeight), std::pair(320, 240));
  EXPECT_LT(HeapInUse(), nBefore + (size_t{1} << 20));
}

// The screenshot: exactly the decoded picture (alpha aside), at its size, at
// zlib's fastest level (the close waits for screenshots asked for); nothing is
// kept per picture.
TEST(Screenshot, PngHoldsThePictureExactlyAtTheFastestLevel) {
  const int32_t nWidth = 37, nHeight = 11;
  Bytes bgra(static_cast<size_t>(nWidth) * nHeight * 4);
  for (size_t i = 0; i < bgra.size(); ++i)
    bgra[i] = i % 4 == 3 ? 255 : static_cast<uint8_t>(i * 31);
  const std::string szPath = TempPath("shot.png");
  std::string szError;
  ASSERT_TRUE(WritePngFile(szPath, bgra.data(), nWidth, nHeight, szError)) << szError;
  const ReadBack read = ReadRecording(szPath);
  std::ifstream file(szPath, std::ios::binary);
  const std::string szPng{std::istreambuf_iterator<char>(file), {}};
  EXPECT_EQ(szPng.substr(szPng.find("IDAT") + 4, 2), "\x78\x01");  // zlib's header
  EXPECT_TRUE((read.pictures == std::vector{ReferencePicture{nWidth, nHeight, bgra}}));
  EXPECT_FALSE(WritePngFile("/nonexistent-folder/a.png", bgra.data(), nWidth, nHeight, szError));
  EXPECT_FALSE(szError.empty());
  Bytes noise(512 * 512 * 4);
  std::generate(noise.begin(), noise.end(), [n = 1u]() mutable { return (n *= 69069u) >> 24; });
  const size_t nBefore = HeapInUse();
  for (int i = 0; i < 20; ++i) WritePngFile(szPath, noise.data(), 512, 512, szError);
  EXPECT_LT(HeapInUse(), nBefore + (size_t{1} << 20));
  std::remove(szPath.c_str());
}

}  // namespace
