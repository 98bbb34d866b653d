#include "app/mirror_options.h"

#include <string_view>

#include "app/app_texts.h"
#include "record/file_names.h"

namespace {

// An option that takes a value takes it as "--name=value" or as the next
// argument. False when szArgument is not this option.
bool TakeValue(std::span<const std::string> arguments, size_t& i, std::string_view szName,
               std::string& szValue, std::string& szUsageError) {
  const std::string& szArgument = arguments[i];
  if (!szArgument.starts_with(szName)) return false;
  if (szArgument.size() == szName.size()) {
    szValue = i + 1 < arguments.size() ? arguments[++i] : std::string();
  } else if (szArgument[szName.size()] == '=') {
    szValue = szArgument.substr(szName.size() + 1);
  } else {
    return false;
  }
  // "--record --no-audio" would record into a file named --no-audio and keep
  // the sound on: a value that looks like an option is a value left out.
  if (szValue.empty() || szValue.starts_with("--")) {
    szUsageError = kTextOptionValueMissingPrefix + std::string(szName);
    szValue.clear();
  }
  return true;
}

// Digits only, at most kMaxPrerollMb; nothing is changed otherwise.
bool ReadMegabytes(const std::string& szValue, size_t& nBytes) {
  if (szValue.empty() || szValue.size() > 4) return false;
  size_t nMb = 0;
  for (const char c : szValue) {
    if (c < '0' || c > '9') return false;
    nMb = nMb * 10 + static_cast<size_t>(c - '0');
  }
  if (nMb > kMaxPrerollMb) return false;
  nBytes = nMb << 20;
  return true;
}

}  // namespace

MirrorOptions ReadMirrorOptions(std::span<const std::string> afterUdid) {
  MirrorOptions options;
  std::string szPreroll;
  for (size_t i = 0; i < afterUdid.size(); ++i) {
    const std::string& szArgument = afterUdid[i];
    if (TakeValue(afterUdid, i, "--preroll", szPreroll, options.szUsageError)) {
      if (!szPreroll.empty() && !ReadMegabytes(szPreroll, options.nPrerollBytes))
        options.szUsageError = kTextOptionValueInvalidPrefix + std::string("--preroll");
    } else if (szArgument == "--no-audio")
      options.bAudio = false;
    else if (szArgument == "--fullscreen")
      options.bFullscreen = true;
    else if (szArgument == "--no-window")
      options.bNoWindow = true;
    else if (!TakeValue(afterUdid, i, "--record", options.szRecordPath, options.szUsageError) &&
             !TakeValue(afterUdid, i, "--save-dir", options.szSaveDir, options.szUsageError))
      options.vecUnknown.push_back(szArgument);
  }
  // Without a window and without a recording the program would wait for ever
  // doing nothing.
  if (options.szUsageError.empty() && options.bNoWindow && options.szRecordPath.empty())
    options.szUsageError = kTextNoWindowWithoutRecord;
  return options;
}

std::string RecordingPathFor(const std::string& szAsked) {
  return RecordPathFor(szAsked, TimestampedName(LocalTimeNow()) + ".mkv");
}
