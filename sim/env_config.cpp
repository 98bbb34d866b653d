#include "env_config.h"

#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <mutex>
#include <string>

#include "bus.h"
#include "sim.h"

namespace vsim {

namespace {

// The pieces between separators; "a,,b" and "a," have empty pieces.
std::vector<std::string_view> Split(std::string_view szText, char cSeparator) {
  std::vector<std::string_view> pieces;
  for (;;) {
    const size_t nAt = szText.find(cSeparator);
    pieces.push_back(szText.substr(0, nAt));
    if (nAt == std::string_view::npos) return pieces;
    szText = szText.substr(nAt + 1);
  }
}

bool ParseNumber(std::string_view szText, uint64_t& qwValue) {
  const char* pEnd = szText.data() + szText.size();
  auto [pStop, error] = std::from_chars(szText.data(), pEnd, qwValue);
  return error == std::errc() && pStop == pEnd && !szText.empty();
}

// "key=value" pairs after the name of an unplug item.
bool ParseUnplug(std::string_view szParams, DeviceConfig& config, std::string& szError) {
  config.nUnplugAfterFrames = 60;
  if (szParams.empty()) return true;
  for (const std::string_view szPair : Split(szParams, ',')) {
    const size_t nEquals = szPair.find('=');
    uint64_t qwValue = 0;
    if (nEquals == std::string_view::npos || !ParseNumber(szPair.substr(nEquals + 1), qwValue)) {
      szError = "expected key=number in \"" + std::string(szPair) + "\"";
      return false;
    }
    const std::string_view szKey = szPair.substr(0, nEquals);
    if (szKey == "frames" && qwValue <= 1000000000) {
      config.nUnplugAfterFrames = static_cast<int>(qwValue);
    } else if (szKey == "repeat") {
      config.bUnplugRepeats = qwValue != 0;
    } else if (szKey == "replug_ms") {
      config.qwReplugAfterMs = qwValue;
    } else {
      szError = "unknown unplug parameter \"" + std::string(szPair) + "\"";
      return false;
    }
  }
  return true;
}

// "hz=N[,drift=P]" after the name of a tone item: P in parts per million,
// either sign.
bool ParseTone(std::string_view szParams, DeviceConfig& config, std::string& szError) {
  for (const std::string_view szPair : Split(szParams, ',')) {
    const size_t nEquals = szPair.find('=');
    const std::string_view szKey = szPair.substr(0, nEquals);
    std::string_view szValue =
        nEquals == std::string_view::npos ? std::string_view() : szPair.substr(nEquals + 1);
    const bool bNegative = szKey == "drift" && !szValue.empty() && szValue[0] == '-';
    if (bNegative) szValue.remove_prefix(1);
    uint64_t qwValue = 0;
    if (!ParseNumber(szValue, qwValue)) {
      szError = "expected key=number in \"" + std::string(szPair) + "\"";
      return false;
    }
    if (szKey == "hz" && qwValue >= 1 && qwValue < 24000) {
      config.nToneHz = static_cast<uint32_t>(qwValue);
    } else if (szKey == "drift" && qwValue <= 100000) {
      config.nToneDriftPpm = static_cast<int32_t>(bNegative ? -static_cast<int64_t>(qwValue)
                                                            : static_cast<int64_t>(qwValue));
    } else {
      szError = "bad tone parameter \"" + std::string(szPair) + "\"";
      return false;
    }
  }
  if (config.nToneHz == 0) {
    szError = "tone needs hz=N";
    return false;
  }
  return true;
}

// "kind=video|audio,at=N,by=MS[,step=1]" after the name of a time-error
// item: MS of either sign.
bool ParseTimeError(std::string_view szParams, DeviceConfig& config, std::string& szError) {
  TimeError& error = config.timeError;
  error.bOn = true;
  bool bBy = false;
  for (const std::string_view szPair : Split(szParams, ',')) {
    const size_t nEquals = szPair.find('=');
    const std::string_view szKey = szPair.substr(0, nEquals);
    std::string_view szValue =
        nEquals == std::string_view::npos ? std::string_view() : szPair.substr(nEquals + 1);
    if (szKey == "kind" && (szValue == "video" || szValue == "audio")) {
      error.bVideo = szValue == "video";
      continue;
    }
    const bool bNegative = szKey == "by" && szValue.starts_with('-');
    if (bNegative) szValue.remove_prefix(1);
    uint64_t qwValue = 0;
    if (!ParseNumber(szValue, qwValue) || qwValue > 1000000000000) {
      szError = "bad time-error parameter \"" + std::string(szPair) + "\"";
      return false;
    }
    if (szKey == "at" && qwValue >= 1) {
      error.qwAt = qwValue;
    } else if (szKey == "by") {
      error.i64ByMs = bNegative ? -static_cast<int64_t>(qwValue) : static_cast<int64_t>(qwValue);
      bBy = true;
    } else if (szKey == "step" && qwValue <= 1) {
      error.bStep = qwValue == 1;
    } else {
      szError = "bad time-error parameter \"" + std::string(szPair) + "\"";
      return false;
    }
  }
  if (!bBy) {
    szError = "time-error needs by=MS";
    return false;
  }
  return true;
}

// "seed=N[,from=A,to=B,rate=R]" after the name of a chaos item; R a chance
// from 0 to 1.
bool ParseChaos(std::string_view szParams, DeviceConfig& config, std::string& szError) {
  ChaosConfig& chaos = config.chaos;
  chaos.bOn = true;
  bool bSeed = false;
  for (const std::string_view szPair : Split(szParams, ',')) {
    const size_t nEquals = szPair.find('=');
    const std::string_view szKey = szPair.substr(0, nEquals);
    const std::string_view szValue =
        nEquals == std::string_view::npos ? std::string_view() : szPair.substr(nEquals + 1);
    uint64_t qwValue = 0;
    if (szKey == "rate") {
      const char* pEnd = szValue.data() + szValue.size();
      auto [pStop, error] = std::from_chars(szValue.data(), pEnd, chaos.dRate);
      if (error == std::errc() && pStop == pEnd && !szValue.empty() && chaos.dRate >= 0 &&
          chaos.dRate <= 1) {
        continue;
      }
    } else if (ParseNumber(szValue, qwValue)) {
      if (szKey == "seed") {
        chaos.qwSeed = qwValue;
        bSeed = true;
        continue;
      }
      if (szKey == "from") {
        chaos.qwFrom = qwValue;
        continue;
      }
      if (szKey == "to") {
        chaos.qwTo = qwValue;
        continue;
      }
    }
    szError = "bad chaos parameter \"" + std::string(szPair) + "\"";
    return false;
  }
  if (!bSeed || chaos.qwFrom > chaos.qwTo) {
    szError = "chaos needs seed=N, and from no later than to";
    return false;
  }
  return true;
}

// "after=K" after the name of a hang-out item.
bool ParseHangOut(std::string_view szParams, DeviceConfig& config, std::string& szError) {
  uint64_t qwValue = 0;
  if (!szParams.starts_with("after=") || !ParseNumber(szParams.substr(6), qwValue) ||
      qwValue > 1000000000) {
    szError = "hang-out needs after=K";
    return false;
  }
  config.nHangOutAfter = static_cast<int>(qwValue);
  return true;
}

bool ParseItem(std::string_view szItem, DeviceConfig& config, std::string& szError) {
  const size_t nColon = szItem.find(':');
  const std::string_view szName = szItem.substr(0, nColon);
  const std::string_view szParams =
      nColon == std::string_view::npos ? std::string_view() : szItem.substr(nColon + 1);
  if (szName == "unplug") return ParseUnplug(szParams, config, szError);
  if (szName == "tone") return ParseTone(szParams, config, szError);
  if (szName == "chaos") return ParseChaos(szParams, config, szError);
  if (szName == "hang-out") return ParseHangOut(szParams, config, szError);
  if (szName == "time-error") return ParseTimeError(szParams, config, szError);
  if (!szParams.empty()) {
    // Built from the name outwards: GCC 12 at -O3 misreads a literal joined
    // with the name's string as overlapping copies (-Wrestrict).
    szError = std::string(szName);
    szError.insert(szError.begin(), '"');
    szError += "\" takes no parameters";
    return false;
  }
  if (szName == "cold") {
    config.bCaptureModeOn = false;
  } else if (szName == "capture") {
    config.bCaptureModeOn = true;
  } else if (szName == "fast") {
    config.bFast = true;
  } else if (szName == "still") {
    config.bStill = true;
  } else if (szName == "silent") {
    config.bSilent = true;
  } else if (szName == "mode-fails") {
    config.bModeRequestFails = true;
  } else if (szName == "claim-fails") {
    config.bClaimFails = true;
  } else if (szName == "set-config-fails") {
    config.bSetConfigurationFails = true;
  } else if (szName == "serial-fails") {
    config.bSerialReadFails = true;
  } else if (szName == "raw-strings") {
    config.bRawStrings = true;
  } else if (szName == "no-permission") {
    config.bNoPermission = true;
  } else {
    szError = "unknown scenario \"" + std::string(szName) + "\"";
    return false;
  }
  return true;
}

bool ReadFile(const std::string& szPath, std::vector<uint8_t>& vecBytes) {
  std::ifstream file(std::filesystem::path(szPath), std::ios::binary);
  if (!file) return false;
  vecBytes.assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
  return !file.bad();
}

std::string Variable(const char* pName) {
  const char* pValue = std::getenv(pName);
  return pValue != nullptr ? pValue : "";
}

void Complain(const std::string& szText) {
  std::fprintf(stderr, "veltrona-sim: %s\n", szText.c_str());
}

}  // namespace

bool ParseScenario(std::string_view szScenario, DeviceConfig& config, std::string& szError) {
  if (szScenario.empty()) return true;
  for (const std::string_view szItem : Split(szScenario, '+')) {
    if (!ParseItem(szItem, config, szError)) return false;
  }
  return true;
}

bool ConfigureFromEnvironment() {
  Reset();
  bool bOk = true;
  DeviceConfig config;
  if (const std::string szSerial = Variable("VELTRONA_SIM_SERIAL"); !szSerial.empty()) {
    config.serial = szSerial;
  }
  std::string szError;
  if (!ParseScenario(Variable("VELTRONA_SIM_SCENARIO"), config, szError)) {
    Complain("VELTRONA_SIM_SCENARIO: " + szError);
    bOk = false;
  }
  if (const std::string szStream = Variable("VELTRONA_SIM_STREAM"); !szStream.empty()) {
    if (!ReadFile(szStream, config.vecH264)) {
      Complain("cannot read VELTRONA_SIM_STREAM " + szStream);
      bOk = false;
    }
  }
  if (const std::string szPath = Variable("VELTRONA_SIM_TRANSCRIPT"); !szPath.empty()) {
    SimState& state = State();
    std::lock_guard lock(state.mutex);
    if (!OpenTranscriptFile(state.transcript, szPath)) {
      Complain("cannot write VELTRONA_SIM_TRANSCRIPT " + szPath);
      bOk = false;
    }
  }
  AddDevice(config);
  for (const std::string& szProblem : ProtocolErrors()) Complain(szProblem);
  return bOk;
}

void ConfigureOnFirstUse() {
#ifdef VSIM_PRELOAD
  static std::once_flag once;
  std::call_once(once, [] {
    ConfigureFromEnvironment();
    SimState& state = State();
    std::lock_guard lock(state.mutex);
    state.transcript.bKeepEvents = false;
  });
#endif
}

}  // namespace vsim
