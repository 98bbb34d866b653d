#include "capture/announcements.h"

#include <gtest/gtest.h>

#include <bit>
#include <string_view>

#include "capture/item_writer.h"
#include "capture_test_util.h"

using captest::Bytes;
using captest::Hex;
using captest::Item;
using captest::Join;

namespace {

Bytes Text(std::string_view szText) {
  return Bytes(szText.begin(), szText.end());
}

Bytes Number(uint8_t byType, uint64_t qwBits, size_t nBytes) {
  Bytes payload = {byType};
  for (size_t i = 0; i < nBytes; ++i) payload.push_back(static_cast<uint8_t>(qwBits >> (8 * i)));
  return Item("nmbv", payload);
}

Bytes Entry(std::string_view szKey, const Bytes& value) {
  return Item("keyv", Join({Item("strk", Text(szKey)), value}));
}

// The audio format of the "formats" entry, field by field.
Bytes AudioFormat() {
  Bytes format;
  captest::PutLe64(format, std::bit_cast<uint64_t>(48000.0));
  for (uint32_t nField : {captest::Code("lpcm"), 12u, 4u, 1u, 4u, 2u, 16u, 0u}) {
    captest::PutLe32(format, nField);
  }
  captest::PutLe64(format, std::bit_cast<uint64_t>(48000.0));
  captest::PutLe64(format, std::bit_cast<uint64_t>(48000.0));
  return format;
}

}  // namespace

TEST(Announcement, DisplayPacketIsByteExact) {
  const Bytes size = Item("dict", Join({Entry("Width", Number(6, 0x40A0E00000000000, 8)),
                                        Entry("Height", Number(6, 0x40AE000000000000, 8))}));
  const Bytes display =
      Item("dict", Join({Entry("Valeria", Item("bulv", Hex("01"))), Entry("DisplaySize", size)}));
  const Bytes packet = BuildHPD1Packet();
  ASSERT_EQ(packet.size(), 172u);
  EXPECT_EQ(Bytes(packet.begin(), packet.begin() + 28),
            Hex("ac 00 00 00 6e 79 73 61 01 00 00 00 00 00 00 00 31 64 70 68 98 00 00 00 74 63 69 "
                "64"));
  EXPECT_EQ(Bytes(packet.begin() + 20, packet.end()), display);
  // Nested offsets as laid out: DisplaySize's entry at 40, its dictionary at 67.
  EXPECT_EQ(captest::GetLe32(packet, 20 + 40), 112u);
  EXPECT_EQ(captest::GetLe32(packet, 20 + 67), 85u);
}

TEST(Announcement, AudioImageEqualsWhatTheWriterBuildsFromTheTable) {
  const double dBufferAhead = std::bit_cast<double>(uint64_t{0x3FB2B020C49BA5E4});
  ASSERT_NE(dBufferAhead, 0.073);  // the literal has other bits
  Bytes vecBuilt = BeginDictionary();
  AppendEntry(vecBuilt, "BufferAheadInterval", Float64Value(dBufferAhead));
  AppendEntry(vecBuilt, "deviceUID", StringValue("Valeria"));
  AppendEntry(vecBuilt, "ScreenLatency", Float64Value(0.04));
  AppendEntry(vecBuilt, "formats", DataValue(AudioFormat()));
  AppendEntry(vecBuilt, "EDIDAC3Support", Int32Value(0));
  AppendEntry(vecBuilt, "deviceName", StringValue("Valeria"));

  const std::span<const uint8_t> image = AudioAnnouncementDictionary();
  EXPECT_EQ(Bytes(image.begin(), image.end()), vecBuilt);
  ASSERT_EQ(image.size(), 317u);
  EXPECT_EQ(captest::GetLe32(image, 0), 0x13Du);
  // Entry offsets and lengths from the table.
  const std::pair<size_t, uint32_t> entries[] = {{8, 52},   {60, 40},  {100, 46},
                                                 {146, 87}, {233, 43}, {276, 41}};
  for (auto [nOffset, nLength] : entries) EXPECT_EQ(captest::GetLe32(image, nOffset), nLength);
  // The value of BufferAheadInterval: after its entry header and 27-byte key.
  const size_t nValue = 8 + 8 + 27;
  EXPECT_EQ(Bytes(image.begin() + nValue + 9, image.begin() + nValue + 17),
            Hex("e4 a5 9b c4 20 b0 b2 3f"));
  EXPECT_EQ(captest::GetLe64(image, 100 + 8 + 21 + 9), 0x3FA47AE147AE147Bu);
}

TEST(Announcement, AudioPacketCarriesTheDeviceClockRef) {
  const Bytes packet = BuildHPA1Packet(0x0102030405060708);
  ASSERT_EQ(packet.size(), 337u);
  EXPECT_EQ(Bytes(packet.begin(), packet.begin() + 20),
            Hex("51 01 00 00 6e 79 73 61 08 07 06 05 04 03 02 01 31 61 70 68"));
  const std::span<const uint8_t> image = AudioAnnouncementDictionary();
  EXPECT_TRUE(std::equal(image.begin(), image.end(), packet.begin() + 20));
}
