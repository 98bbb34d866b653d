// One video sample as every consumer of it sees it, put together once on the
// capture thread, and the small table of sinks it is handed to. The views
// point into the capture side's buffers: a sink that keeps anything copies it
// before it returns.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

struct AccessUnit {
  std::span<const uint8_t> units;   // the sample's whole length-prefixed NAL units
  std::span<const uint8_t> record;  // the configuration record in force (empty: none yet)
  bool bNewRecord = false;          // the device sent record again since the last unit
  int64_t i64Value = 0;             // the device's presentation time ...
  uint32_t nTimeScale = 0;          // ... in these units a second (0: the sample had none)
  uint64_t qwArrivalTicks = 0;      // the local clock when the sample came
  bool bKeyframe = false;           // holds an IDR slice
};

using AccessUnitFn = void (*)(void* pContext, const AccessUnit& unit);

struct AccessUnitSink {
  AccessUnitFn pfnUnit = nullptr;
  void* pContext = nullptr;
};

inline constexpr size_t kMaxAccessUnitSinks = 4;

// Filled once at start-up, before the capture thread runs; read-only after.
struct AccessUnitSinks {
  std::array<AccessUnitSink, kMaxAccessUnitSinks> sinks{};
  size_t nCount = 0;
};

// False when the table is full or pfnUnit is null.
bool AddAccessUnitSink(AccessUnitSinks& sinks, AccessUnitFn pfnUnit, void* pContext);

// Hands unit to every sink, in the order they were added.
void DeliverAccessUnit(const AccessUnitSinks& sinks, const AccessUnit& unit);
