#include <gtest/gtest.h>

#include "capture/item_reader.h"
#include "capture/item_writer.h"
#include "capture_test_util.h"

using captest::Bytes;
using captest::Hex;

TEST(ItemWriter, ValueItemsAreByteExact) {
  EXPECT_EQ(BeginDictionary(), Hex("08 00 00 00 74 63 69 64"));
  EXPECT_EQ(BoolValue(true), Hex("09 00 00 00 76 6c 75 62 01"));
  EXPECT_EQ(Int32Value(0), Hex("0d 00 00 00 76 62 6d 6e 03 00 00 00 00"));
  EXPECT_EQ(Int32Value(-2), Hex("0d 00 00 00 76 62 6d 6e 03 fe ff ff ff"));
  EXPECT_EQ(Float64Value(2160.0), Hex("11 00 00 00 76 62 6d 6e 06 00 00 00 00 00 e0 a0 40"));
  EXPECT_EQ(StringValue("Width"), Hex("0d 00 00 00 76 72 74 73 57 69 64 74 68"));
  EXPECT_EQ(DataValue(Hex("01 02")), Hex("0a 00 00 00 76 74 61 64 01 02"));
  EXPECT_EQ(DataValue({}), Hex("08 00 00 00 76 74 61 64"));
}

TEST(ItemWriter, EntryCarriesKeyThenValueAndGrowsTheDictionary) {
  Bytes vecDictionary = BeginDictionary();
  AppendEntry(vecDictionary, "Error", Int32Value(0));
  EXPECT_EQ(vecDictionary, Hex("2a 00 00 00 74 63 69 64"
                               "22 00 00 00 76 79 65 6b"
                               "0d 00 00 00 6b 72 74 73 45 72 72 6f 72"
                               "0d 00 00 00 76 62 6d 6e 03 00 00 00 00"));
}

TEST(ItemWriter, NestedDictionaryIsTheValueItemUnchanged) {
  Bytes vecInner = BeginDictionary();
  AppendEntry(vecInner, "Width", Float64Value(2160.0));
  AppendEntry(vecInner, "Height", Float64Value(3840.0));
  ASSERT_EQ(vecInner.size(), 85u);

  Bytes vecOuter = BeginDictionary();
  AppendEntry(vecOuter, "Valeria", BoolValue(true));
  const size_t nBefore = vecOuter.size();
  AppendEntry(vecOuter, "DisplaySize", vecInner);
  EXPECT_EQ(vecOuter.size() - nBefore, 8u + 19u + 85u);
  EXPECT_EQ(captest::GetLe32(vecOuter, 0), vecOuter.size());
  EXPECT_TRUE(std::equal(vecInner.begin(), vecInner.end(), vecOuter.end() - 85));
  // Entries keep their order; keys are neither sorted nor deduplicated.
  AppendEntry(vecOuter, "Valeria", BoolValue(true));
  EXPECT_EQ(captest::GetLe32(vecOuter, 0), vecOuter.size());
  EXPECT_EQ(captest::GetLe32(vecOuter, 8), 32u);
}

TEST(ItemReader, HeaderIsReadOnlyWhenWhollyInside) {
  const Bytes item = Hex("0d 00 00 00 6b 72 74 73 45 72 72 6f 72 ff ff ff ff 76 74 61 64");
  const auto header = ReadItemHeader(item, 0);
  ASSERT_TRUE(header);
  EXPECT_EQ(header->nLength, 13);
  EXPECT_EQ(header->nTag, captest::Code("strk"));
  // A length field is a signed number.
  const auto lying = ReadItemHeader(item, 13);
  ASSERT_TRUE(lying);
  EXPECT_EQ(lying->nLength, -1);
  EXPECT_FALSE(ReadItemHeader(item, 14));
  EXPECT_FALSE(ReadItemHeader(item, item.size()));
  EXPECT_FALSE(ReadItemHeader(item, SIZE_MAX - 2));
}

TEST(ItemReader, FindTagSearchesByteWiseAndSkipsTheLastFourBytes) {
  const uint32_t nDatv = captest::Code("datv");
  EXPECT_EQ(FindTag(Hex("00 76 74 61 64 00"), nDatv), 1u);
  // Found inside any item, at the first match.
  EXPECT_EQ(FindTag(Hex("0a 00 00 00 76 74 61 64 76 74 61 64 01 02"), nDatv), 4u);
  EXPECT_FALSE(FindTag(Hex("76 74 61 64"), nDatv));
  EXPECT_FALSE(FindTag(Hex("00 00 76 74 61 64"), nDatv));
  EXPECT_FALSE(FindTag({}, nDatv));
  EXPECT_FALSE(FindTag(Hex("64 61 74 76 00"), nDatv));  // characters not reversed
}
