#include "app/version_text.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

#include "app/app_texts.h"
#include "app/shell.h"
#include "app/startup.h"
#include "app/version.h"

namespace {

std::string PackedVersion(unsigned nVersion) {
  return std::to_string(AV_VERSION_MAJOR(nVersion)) + "." +
         std::to_string(AV_VERSION_MINOR(nVersion)) + "." +
         std::to_string(AV_VERSION_MICRO(nVersion));
}

}  // namespace

bool IsVersionArgument(const std::string& szFirst) {
  return szFirst == "--version";
}

std::string FormatVersionText(unsigned nAvcodecVersion, unsigned nAvformatVersion,
                              std::string_view szShellLibraries) {
  std::string szText = std::string(kMessageCaption) + " " + VELTRONA_VERSION_TEXT + "\n";
  szText += "FFmpeg: libavcodec " + PackedVersion(nAvcodecVersion) + ", libavformat " +
            PackedVersion(nAvformatVersion) + "\n";
  if (!szShellLibraries.empty()) {
    szText.append(szShellLibraries);
    szText.push_back('\n');
  }
  return szText;
}

int ShowVersion(std::string_view szShellLibraries) {
  // The libraries as loaded, not the headers built against: a user reporting
  // a fault says what actually ran.
  ShellShowUsage(
      FormatVersionText(avcodec_version(), avformat_version(), szShellLibraries).c_str());
  return kExitOk;
}
