#include "host_packets.h"

#include <bit>

namespace vsim {

namespace {

// The buffer-ahead interval the host announces is one unit in the last place
// above the double nearest to 0.073, so it is written by its bits.
constexpr uint64_t kBufferAheadBits = 0x3FB2B020C49BA5E4;

}  // namespace

Bytes DisplayAnnouncement() {
  const Bytes size =
      Dictionary({Entry("Width", Float64Value(2160.0)), Entry("Height", Float64Value(3840.0))});
  const Bytes dict = Dictionary({Entry("Valeria", BoolValue(true)), Entry("DisplaySize", size)});
  return AsynPacket(1, FourCC("hpd1"), dict);
}

Bytes AudioStreamDescription() {
  Bytes asbd;
  PutF64(asbd, 48000.0);
  PutU32(asbd, FourCC("lpcm"));
  PutU32(asbd, 12);  // signed integer, packed
  PutU32(asbd, 4);   // bytes per packet
  PutU32(asbd, 1);   // frames per packet
  PutU32(asbd, 4);   // bytes per frame
  PutU32(asbd, 2);   // channels
  PutU32(asbd, 16);  // bits per channel
  PutU32(asbd, 0);
  return asbd;
}

Bytes AudioAnnouncement(uint64_t qwDeviceClockRef) {
  Bytes formats = AudioStreamDescription();
  PutF64(formats, 48000.0);  // lowest and highest sample rate
  PutF64(formats, 48000.0);
  const Bytes dict = Dictionary(
      {Entry("BufferAheadInterval", Float64Value(std::bit_cast<double>(kBufferAheadBits))),
       Entry("deviceUID", StringValue("Valeria")), Entry("ScreenLatency", Float64Value(0.04)),
       Entry("formats", DataValue(formats)), Entry("EDIDAC3Support", Int32Value(0)),
       Entry("deviceName", StringValue("Valeria"))});
  return AsynPacket(qwDeviceClockRef, FourCC("hpa1"), dict);
}

Bytes NeedPacket(uint64_t qwClockRef) {
  return AsynPacket(qwClockRef, FourCC("need"), {});
}

Bytes ClockReply(uint64_t qwCorrelation, uint64_t qwValue) {
  Bytes payload;
  PutU64(payload, qwValue);
  return ReplyPacket(qwCorrelation, payload);
}

Bytes EmptyReply(uint64_t qwCorrelation) {
  Bytes payload;
  PutU32(payload, 0);
  return ReplyPacket(qwCorrelation, payload);
}

Bytes AudioFormatReply(uint64_t qwCorrelation) {
  return ReplyPacket(qwCorrelation, Dictionary({Entry("Error", Int32Value(0))}));
}

}  // namespace vsim
