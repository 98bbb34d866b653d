// Where the fields of a packet lie, and the few packets the host builds from
// nothing but a header.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "capture/byte_order.h"

// Every packet: u32 total length (itself included), u32 kind.
inline constexpr size_t kPacketLengthOffset = 0;
inline constexpr size_t kPacketMagicOffset = 4;
inline constexpr size_t kPacketHeaderSize = 8;

// sync and asyn: u64 clock reference, u32 sub-type.
inline constexpr size_t kPacketClockRefOffset = 8;
inline constexpr size_t kPacketSubTypeOffset = 16;
inline constexpr size_t kAsynHeaderSize = 20;

// sync only: u64 correlation id, then the request's payload.
inline constexpr size_t kSyncCorrelationOffset = 20;
inline constexpr size_t kSyncPayloadOffset = 28;

// rply: u32 length, u32 kind, u64 correlation id, u32 0, payload.
inline constexpr size_t kReplyHeaderSize = 20;

// The largest packet a single bulk read can hold, and so the largest accepted.
inline constexpr uint32_t kMaxPacketSize = 0x500000;

// An asyn packet header with a zero length; FinishPacket fills the length in.
std::vector<uint8_t> BeginAsynPacket(uint64_t qwClockRef, uint32_t nSubType);

// A reply header echoing qwCorrelationId, with a zero length.
std::vector<uint8_t> BeginReplyPacket(uint64_t qwCorrelationId);

// Writes the packet's own size into its length field.
void FinishPacket(std::vector<uint8_t>& vecPacket);

// The 16-byte ping the host sends, answered or unprompted.
std::vector<uint8_t> BuildPingPacket();

// The 20-byte request for the next video sample.
std::vector<uint8_t> BuildNeedPacket(uint64_t qwClockRef);
