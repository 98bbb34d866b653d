// The packets a correct host sends back, built here byte for byte so that the
// device can compare what arrives with them.
#pragma once

#include <cstdint>

#include "packet_writer.h"

namespace vsim {

// The display announcement (172 bytes); the host sends it twice per cwpa.
Bytes DisplayAnnouncement();

// The audio announcement (337 bytes) carrying the cwpa's device clock.
Bytes AudioAnnouncement(uint64_t qwDeviceClockRef);

// 16-bit stereo linear PCM at 48 kHz: the 40-byte stream description.
Bytes AudioStreamDescription();

Bytes NeedPacket(uint64_t qwClockRef);

// A reply whose payload is one u64 (cwpa, cvrp, clok).
Bytes ClockReply(uint64_t qwCorrelation, uint64_t qwValue);

// A reply whose payload is one u32 0 (stop, go!).
Bytes EmptyReply(uint64_t qwCorrelation);

// The afmt reply: {"Error": 0}.
Bytes AudioFormatReply(uint64_t qwCorrelation);

}  // namespace vsim
