#include "device/serial_number.h"

#include <gtest/gtest.h>

namespace {

TEST(SerialNumber, TwentyFourCharactersWithoutSeparatorsGetADashAndUpperCase) {
  EXPECT_EQ(NormaliseSerialNumber("00008101000A1B2C3D4E5F60"), "00008101-000A1B2C3D4E5F60");
  EXPECT_EQ(NormaliseSerialNumber("00008101000a1b2c3d4e5f60"), "00008101-000A1B2C3D4E5F60");
}

TEST(SerialNumber, TwentyFourCharactersWithDashOrAmpersandAreOnlyLowerCased) {
  EXPECT_EQ(NormaliseSerialNumber("00008101-00A1B2C3D4E5F60"), "00008101-00a1b2c3d4e5f60");
  EXPECT_EQ(NormaliseSerialNumber("00008101&00A1B2C3D4E5F60"), "00008101&00a1b2c3d4e5f60");
}

TEST(SerialNumber, EveryOtherLengthIsLowerCased) {
  EXPECT_EQ(NormaliseSerialNumber("ABCDEF0123456789ABCDEF0123456789ABCDEF01"),
            "abcdef0123456789abcdef0123456789abcdef01");
  EXPECT_EQ(NormaliseSerialNumber("0000810100A1B2C3D4E5F60"), "0000810100a1b2c3d4e5f60");  // 23
  EXPECT_EQ(NormaliseSerialNumber(""), "");
}

TEST(SerialNumber, OnlyAsciiLettersChange) {
  // "?" stands for a UTF-16 unit the library could not narrow; bytes above
  // 0x7F must pass through whatever the locale.
  EXPECT_EQ(NormaliseSerialNumber("A?-\xC3\x89z"), "a?-\xC3\x89z");
  EXPECT_EQ(NormaliseSerialNumber("0000810?000a1b2c3d4e5f6\xE9"), "0000810?-000A1B2C3D4E5F6\xE9");
}

}  // namespace
