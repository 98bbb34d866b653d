// A sound output that goes away: opened again on the next sound at most once
// a second; only the first of a run of failed attempts is logged.
#include "audio/output_recovery.h"

#include <gtest/gtest.h>

namespace {

enum class Step { FormatChanged, Ask, Opened, OpenFailed, Lost };

struct Row {
  Step step;
  uint64_t qwNow;
  bool bSound;     // for Ask: sound is waiting
  bool bExpected;  // Ask: open now; Opened/OpenFailed: log it
  const char* szWhy;
};

TEST(OutputRecovery, ReopensOnTheNextSoundAtMostOnceASecond) {
  const Row rows[] = {
      {Step::Ask, 0, false, true, "a first format opens at once, sound or not"},
      {Step::OpenFailed, 0, false, true, "no device: said"},
      {Step::Ask, 999, true, false, "sound, but within the second"},
      {Step::Ask, 1000, false, false, "a second on, but no sound"},
      {Step::Ask, 1000, true, true, "sound, a second on"},
      {Step::OpenFailed, 1000, false, false, "still no device: not said again"},
      {Step::Ask, 2000, true, true, "the next second"},
      {Step::Opened, 2000, false, true, "back: said"},
      {Step::Ask, 9000, true, false, "never while open"},
      {Step::Lost, 9000, false, false, "a write failed"},
      {Step::Ask, 9000, true, true, "the last attempt is long past"},
      {Step::OpenFailed, 9000, false, true, "the first failure since it played: said"},
      {Step::FormatChanged, 9600, false, false, ""},
      {Step::Ask, 9600, false, true, "a new format opens at once"},
      {Step::Opened, 9600, false, true, "said"},
      {Step::Lost, 9700, false, false, "lost right after opening"},
      {Step::Ask, 9700, true, false, "no second attempt within the second"},
      {Step::Ask, 10600, true, true, "a second after the last attempt"},
  };
  OutputRecovery recovery;
  for (const Row& row : rows) {
    SCOPED_TRACE(row.szWhy);
    switch (row.step) {
      case Step::FormatChanged:
        RecoveryFormatChanged(recovery);
        break;
      case Step::Ask:
        EXPECT_EQ(RecoveryShouldOpen(recovery, row.bSound, row.qwNow), row.bExpected);
        break;
      case Step::Opened:
      case Step::OpenFailed:
        EXPECT_EQ(RecoveryOpened(recovery, row.step == Step::Opened, row.qwNow), row.bExpected);
        break;
      case Step::Lost:
        RecoveryLost(recovery);
        break;
    }
  }
}

TEST(OutputRecovery, StalledAfterTwoSecondsWithoutABufferBack) {
  EXPECT_FALSE(OutputStalled(1000, 2999));
  EXPECT_TRUE(OutputStalled(1000, 3000));
  EXPECT_FALSE(OutputStalled(5000, 4000));  // progress noted after the time read
}

}  // namespace
