#include "capture/item_writer.h"

#include "capture/byte_order.h"
#include "capture/fourcc.h"
#include "capture/item_reader.h"

namespace {

inline constexpr uint8_t kNumberInt32 = 3;
inline constexpr uint8_t kNumberFloat64 = 6;

std::vector<uint8_t> BeginItem(uint32_t nTag, size_t nPayloadSize) {
  std::vector<uint8_t> vecItem;
  vecItem.reserve(kItemHeaderSize + nPayloadSize);
  AppendLe32(vecItem, static_cast<uint32_t>(kItemHeaderSize + nPayloadSize));
  AppendLe32(vecItem, nTag);
  return vecItem;
}

std::vector<uint8_t> BytesItem(uint32_t nTag, std::span<const uint8_t> payload) {
  std::vector<uint8_t> vecItem = BeginItem(nTag, payload.size());
  vecItem.insert(vecItem.end(), payload.begin(), payload.end());
  return vecItem;
}

std::span<const uint8_t> TextBytes(std::string_view szText) {
  return {reinterpret_cast<const uint8_t*>(szText.data()), szText.size()};
}

}  // namespace

std::vector<uint8_t> BeginDictionary() {
  return BeginItem(kTagDict, 0);
}

void AppendEntry(std::vector<uint8_t>& vecDictionary, std::string_view szKey,
                 std::span<const uint8_t> value) {
  const std::vector<uint8_t> vecKey = BytesItem(kTagStrk, TextBytes(szKey));
  const uint32_t nEntryLength =
      static_cast<uint32_t>(kItemHeaderSize + vecKey.size() + value.size());
  AppendLe32(vecDictionary, nEntryLength);
  AppendLe32(vecDictionary, kTagKeyv);
  vecDictionary.insert(vecDictionary.end(), vecKey.begin(), vecKey.end());
  vecDictionary.insert(vecDictionary.end(), value.begin(), value.end());
  const uint32_t nDictionaryLength = ReadLe32(vecDictionary, 0).value_or(0) + nEntryLength;
  StoreLe32(vecDictionary, 0, nDictionaryLength);
}

std::vector<uint8_t> BoolValue(bool bValue) {
  std::vector<uint8_t> vecItem = BeginItem(kTagBulv, 1);
  vecItem.push_back(bValue ? 1 : 0);
  return vecItem;
}

std::vector<uint8_t> Int32Value(int32_t nValue) {
  std::vector<uint8_t> vecItem = BeginItem(kTagNmbv, 1 + sizeof nValue);
  vecItem.push_back(kNumberInt32);
  AppendLe32(vecItem, static_cast<uint32_t>(nValue));
  return vecItem;
}

std::vector<uint8_t> Float64Value(double dValue) {
  std::vector<uint8_t> vecItem = BeginItem(kTagNmbv, 1 + sizeof dValue);
  vecItem.push_back(kNumberFloat64);
  AppendLeF64(vecItem, dValue);
  return vecItem;
}

std::vector<uint8_t> StringValue(std::string_view szValue) {
  return BytesItem(kTagStrv, TextBytes(szValue));
}

std::vector<uint8_t> DataValue(std::span<const uint8_t> data) {
  return BytesItem(kTagDatv, data);
}
