#include "chaos.h"

#include <algorithm>

#include "packet_writer.h"

namespace vsim {

namespace {

// Uniform enough for damage, and the same on every platform (the standard's
// distributions are not).
uint64_t Below(std::mt19937_64& rng, uint64_t qwBound) {
  return qwBound == 0 ? 0 : rng() % qwBound;
}

// Offsets of the packets lying back to back in a transfer, as far as their
// lengths can be followed.
std::vector<size_t> PacketStarts(const std::vector<uint8_t>& vecBytes) {
  std::vector<size_t> starts;
  size_t nOffset = 0;
  while (nOffset + 8 <= vecBytes.size()) {
    starts.push_back(nOffset);
    const uint32_t nLength = ReadU32(vecBytes, nOffset).value_or(0);
    if (nLength < 8) break;
    nOffset += nLength;
  }
  return starts;
}

void Apply(ChaosState& state, Damage damage, std::vector<uint8_t>& vecBytes) {
  std::mt19937_64& rng = state.rng;
  switch (damage) {
    case Damage::Flip:
      if (!vecBytes.empty()) {
        vecBytes[Below(rng, vecBytes.size())] ^= static_cast<uint8_t>(1 + Below(rng, 255));
      }
      break;
    case Damage::Cut:
      vecBytes.resize(Below(rng, vecBytes.size()));
      break;
    case Damage::Length: {
      const std::vector<size_t> starts = PacketStarts(vecBytes);
      if (starts.empty()) break;
      const size_t nAt = starts[Below(rng, starts.size())];
      const auto nLength = static_cast<uint32_t>(rng());
      for (size_t i = 0; i < 4; ++i) vecBytes[nAt + i] = static_cast<uint8_t>(nLength >> (8 * i));
      break;
    }
    case Damage::Random:
      std::generate(vecBytes.begin(), vecBytes.end(), [&] { return static_cast<uint8_t>(rng()); });
      break;
    case Damage::Drop:
      vecBytes.clear();
      break;
    case Damage::Twice:
      state.repeats.push_back(vecBytes);
      break;
    case Damage::None:
      break;
  }
}

}  // namespace

const char* DamageName(Damage damage) {
  switch (damage) {
    case Damage::Flip:
      return "flip";
    case Damage::Cut:
      return "cut";
    case Damage::Length:
      return "length";
    case Damage::Random:
      return "random";
    case Damage::Drop:
      return "drop";
    case Damage::Twice:
      return "twice";
    case Damage::None:
      break;
  }
  return "none";
}

ChaosState StartChaos(const ChaosConfig& config) {
  ChaosState state;
  state.rng.seed(config.qwSeed);
  return state;
}

Damage PassTransfer(ChaosState& state, const ChaosConfig& config, std::vector<uint8_t>& vecBytes) {
  const uint64_t qwNumber = ++state.qwTransfers;
  if (!config.bOn || qwNumber < config.qwFrom || qwNumber > config.qwTo) return Damage::None;
  const double dChance = static_cast<double>(state.rng() >> 11) * 0x1.0p-53;
  if (dChance >= config.dRate) return Damage::None;
  const auto damage = static_cast<Damage>(1 + Below(state.rng, 6));
  Apply(state, damage, vecBytes);
  return damage;
}

}  // namespace vsim
