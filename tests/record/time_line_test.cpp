// The session's time line, the pre-roll's bound, file names and folders.
#include "record/time_line.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "record/avc_stream.h"
#include "record/file_names.h"
#include "record/record_sample.h"

namespace {

constexpr uint32_t kNs = 1000000000;  // the device's video clock: nanoseconds
constexpr uint32_t kAudio = 48000;    // its sound clock: sample frames

// One step: a sample (or, with bReconnect, a new connection before it).
struct Step {
  MediaKind kind;
  int64_t i64Value;
  uint32_t nScale;
  uint64_t qwTicks;
  int64_t i64ExpectedUs;
  bool bReconnect = false;
};

TEST(TimeLine, PlacesSamplesOnOneLine) {
  const auto V = MediaKind::Video;
  const auto A = MediaKind::Audio;
  const std::vector<std::pair<const char*, std::vector<Step>>> cases = {
      {"rebased to 0, sound and pictures together",
       {{V, 5 * int64_t{kNs}, kNs, 1000, 0},
        {A, 5 * 48000 + 480, kAudio, 1005, 10000},
        {V, 5 * int64_t{kNs} + 16666667, kNs, 1017, 16667}}},
      {"sound first: pictures are placed against it",
       {{A, 48000, kAudio, 0, 0}, {V, 1020000000, kNs, 3, 20000}}},
      {"a still screen's gap is kept",
       {{V, 0, kNs, 0, 0}, {V, 30 * int64_t{kNs}, kNs, 30000, 30000000}}},
      {"a repeat stays where it was (the file makes it last + 1)",
       {{V, 100, kNs, 0, 0}, {V, 100, kNs, 16, 0}}},
      {"a jump ahead of the local clock goes by the local clock",
       {{V, 0, kNs, 0, 0}, {V, 3600 * int64_t{kNs}, kNs, 16, 16000}}},
      {"a jump back goes on by the local clock",
       {{V, 10 * int64_t{kNs}, kNs, 0, 0}, {V, 0, kNs, 40, 40000}, {V, 16000000, kNs, 56, 56000}}},
      {"a reconnect continues after the time without a device",
       {{V, 0, kNs, 0, 0},
        {V, 1 * int64_t{kNs}, kNs, 1000, 1000000},
        {V, 0, kNs, 4000, 4000000, true},
        {V, 500000000, kNs, 4500, 4500000}}},
      {"a sound clock of its own starts where the local clock is",
       {{V, 0, kNs, 0, 0},
        {A, 3600 * 48000, kAudio, 20, 20000},
        {A, 3600 * 48000 + 960, kAudio, 40, 40000}}},
      {"a sample without a time goes by the local clock",
       {{V, 0, kNs, 100, 0}, {V, 0, 0, 133, 33000}}},
  };
  for (const auto& [szCase, steps] : cases) {
    SessionTimeLine line;
    for (size_t i = 0; i < steps.size(); ++i) {
      const Step& step = steps[i];
      if (step.bReconnect) TimeLineNewConnection(line);
      EXPECT_EQ(TimeLinePlace(line, step.kind, step.i64Value, step.nScale, step.qwTicks),
                step.i64ExpectedUs)
          << szCase << ", step " << i;
    }
  }
}

TEST(TimeLine, NowRunsOnFromTheLatestSample) {
  SessionTimeLine line;
  EXPECT_EQ(TimeLineNow(line, 500), 0);
  TimeLinePlace(line, MediaKind::Video, 2 * int64_t{kNs}, kNs, 1000);
  TimeLinePlace(line, MediaKind::Video, 2 * int64_t{kNs} + 50000000, kNs, 1050);
  EXPECT_EQ(TimeLineNow(line, 1050), 50000);
  EXPECT_EQ(TimeLineNow(line, 6050), 5050000);
}

RecordSample Sample(MediaKind kind, bool bKeyframe, size_t nBytes, int64_t i64TimeUs = 0) {
  RecordSample sample;
  sample.kind = kind;
  sample.bKeyframe = bKeyframe;
  sample.i64TimeUs = i64TimeUs;
  sample.vecData.assign(nBytes, static_cast<uint8_t>(i64TimeUs));
  return sample;
}

TEST(Preroll, KeepsFromTheLastKeyframeWithinItsBound) {
  const std::vector<uint8_t> record1{1}, record2{2};
  RecordPreroll preroll;
  preroll.nMaxBytes = 1000;
  PrerollAdd(preroll, Sample(MediaKind::Audio, false, 10), record1);
  PrerollAdd(preroll, Sample(MediaKind::Video, false, 10), record1);
  EXPECT_TRUE(preroll.samples.empty()) << "nothing before the first keyframe";

  PrerollAdd(preroll, Sample(MediaKind::Video, true, 400, 1), record1);
  PrerollAdd(preroll, Sample(MediaKind::Audio, false, 100, 2), record1);
  PrerollAdd(preroll, Sample(MediaKind::Video, false, 500, 3), record1);
  ASSERT_EQ(preroll.samples.size(), 3u) << "exactly at the bound: kept";
  EXPECT_EQ(preroll.nBytes, 1000u);
  EXPECT_EQ(preroll.vecRecord, record1);

  PrerollAdd(preroll, Sample(MediaKind::Video, false, 1, 4), record1);
  EXPECT_TRUE(preroll.samples.empty()) << "past the bound: all dropped";
  EXPECT_TRUE(preroll.bOverflowed);
  PrerollAdd(preroll, Sample(MediaKind::Video, false, 10, 5), record1);
  EXPECT_TRUE(preroll.samples.empty()) << "and nothing until the next keyframe";

  PrerollAdd(preroll, Sample(MediaKind::Video, true, 20, 6), record2);
  ASSERT_EQ(preroll.samples.size(), 1u);
  EXPECT_FALSE(preroll.bOverflowed);
  EXPECT_EQ(preroll.nBytes, 20u);
  EXPECT_EQ(preroll.vecRecord, record2) << "a keyframe brings the parameter sets it needs";

  PrerollAdd(preroll, Sample(MediaKind::Video, true, 1001, 7), record2);
  EXPECT_TRUE(preroll.samples.empty()) << "a keyframe larger than the bound is not kept";
  EXPECT_TRUE(preroll.bOverflowed);
}

// Named by the local date and time; a name on the disk is never reused.
TEST(FileNames, DateAndTimeAndNeverAnExistingFile) {
  const auto name = [](int nMonth, int nDay, int nHour, int nMinute, int nSecond) {
    std::tm local{};
    local.tm_year = 2026 - 1900;
    local.tm_mon = nMonth;
    local.tm_mday = nDay;
    local.tm_hour = nHour;
    local.tm_min = nMinute;
    local.tm_sec = nSecond;
    return TimestampedName(local);
  };
  EXPECT_EQ(name(11, 7, 10, 15, 30), "Veltrona 2026-12-07 10.15.30");
  EXPECT_EQ(name(0, 2, 3, 4, 5), "Veltrona 2026-01-02 03.04.05");

  const auto dir = std::filesystem::temp_directory_path() / "veltrona-names";
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir / "e.x");
  for (const char* szName : {"a.png", "a (2).png", "b", "e.x/c"})
    std::fclose(std::fopen((dir / szName).string().c_str(), "w"));
  const std::pair<const char*, const char*> cases[] = {
      {"new.png", "new.png"},
      {"a.png", "a (3).png"},
      {"b", "b (2)"},
      {"e.x/c", "e.x/c (2)"},  // the dot of a folder is not an extension
  };
  for (const auto& [szAsked, szGiven] : cases)
    EXPECT_EQ(UniquePath((dir / szAsked).string()), (dir / szGiven).string());
  std::filesystem::remove_all(dir);
  EXPECT_EQ(FileNameOf("/home/u/Vídeos/Veltrona 1.mkv"), "Veltrona 1.mkv");
  EXPECT_EQ(FileNameOf("C:\\Users\\u\\Videos\\a.mp4"), "a.mp4");
  EXPECT_EQ(FileNameOf("a.mp4"), "a.mp4");
  EXPECT_EQ(JoinPath("", "a"), "a");
  EXPECT_EQ(JoinPath("/x/", "a"), "/x/a");
}

// Keyframes are found by their IDR slice, in units of any length; a length
// that runs past the picture ends the walk.
TEST(AvcStream, FindsKeyframesWithinThePicture) {
  using Bytes = std::vector<uint8_t>;
  Bytes large = {0, 0x01, 0x11, 0x70, 0x41};  // a non-IDR slice of more than 64 KiB
  large.resize(4 + 70000, 0);
  const Bytes idr = {0, 0, 0, 2, 0x65, 0x88};
  Bytes largeThenIdr = large;
  largeThenIdr.insert(largeThenIdr.end(), idr.begin(), idr.end());
  const std::pair<Bytes, bool> cases[] = {
      {idr, true},
      {{0, 0, 0, 2, 0x41, 0x9A}, false},
      {largeThenIdr, true},
      {{0, 0, 0, 2, 0x41, 0x00, 0, 0, 0, 8, 0x65, 0x88, 0x84}, false},  // cut short
      {{0, 0, 0, 0, 0, 0, 0, 2, 0x65, 0x88}, true},                     // an empty unit
      {{0, 0, 0}, false},
  };
  for (size_t i = 0; i < std::size(cases); ++i)
    EXPECT_EQ(IsKeyframe(cases[i].first), cases[i].second) << i;
}

}  // namespace
