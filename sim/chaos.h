// Seeded damage to the transfers the device sends, for the host's recovery
// tests: the same seed damages the same transfers in the same ways.
#pragma once

#include <cstdint>
#include <deque>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "sim.h"

namespace vsim {

enum class Damage { None, Flip, Cut, Length, Random, Drop, Twice };

const char* DamageName(Damage damage);

struct ChaosState {
  std::mt19937_64 rng;
  uint64_t qwTransfers = 0;                  // transfers of the protocol sent so far
  std::deque<std::vector<uint8_t>> repeats;  // copies owed by Twice
};

ChaosState StartChaos(const ChaosConfig& config);

// Passes one transfer through: counts it and, inside the window, damages it
// with the configured chance. Result: the damage done; a dropped transfer is
// left empty, a doubled one also lands in state.repeats.
Damage PassTransfer(ChaosState& state, const ChaosConfig& config, std::vector<uint8_t>& vecBytes);

// True once the last transfer of the window has gone out.
inline bool ChaosOver(const ChaosState& state, const ChaosConfig& config) {
  return state.qwTransfers >= config.qwTo;
}

}  // namespace vsim
