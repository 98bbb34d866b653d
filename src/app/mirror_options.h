// The options after the UDID, read from the command line.
#pragma once

#include <span>
#include <string>
#include <vector>

#include "record/record_sample.h"

// What the arguments after the UDID ask for.
struct MirrorOptions {
  bool bAudio = true;        // off with --no-audio
  bool bFullscreen = false;  // --fullscreen
  bool bNoWindow = false;    // --no-window (with --record: no window, no display needed)
  std::string szRecordPath;  // --record FILE or --record=FILE; empty: no recording from start
  std::string szSaveDir;     // --save-dir DIR; empty: the user's Pictures and Videos folders
  // --preroll MB: what is kept for a recording started with R (0: nothing).
  size_t nPrerollBytes = kMaxPrerollBytes;
  std::vector<std::string> vecUnknown;  // ignored, but said to the user
  // Not empty: the command line cannot mean what it seems to (a value missing,
  // --no-window with nothing to do); the program says this, then how to start it.
  std::string szUsageError;
};

// The options after the UDID. An option given twice counts as given last.
// Anything the program does not know is ignored, as it always was, and listed
// in vecUnknown so that the user is told. A value that is missing, empty or
// begins with "--" (an option taken for a file name) is a usage error, and so
// is a --preroll that is not a whole number of MB up to kMaxPrerollMb.
inline constexpr size_t kMaxPrerollMb = 4096;
MirrorOptions ReadMirrorOptions(std::span<const std::string> afterUdid);

// Where --record writes: an existing folder gets a new file inside it, named
// for the local time; anything else is the file's own name.
std::string RecordingPathFor(const std::string& szAsked);
