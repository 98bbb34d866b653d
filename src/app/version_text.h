// --version: which program this is, and the libraries it runs with.
#pragma once

#include <string>
#include <string_view>

// --version as the first argument.
bool IsVersionArgument(const std::string& szFirst);

// "Veltrona iOS <version>", then a line with FFmpeg's libavcodec and
// libavformat versions (packed as FFmpeg packs them: major << 16 | minor << 8
// | micro), then szShellLibraries as a line of its own when it is not empty.
std::string FormatVersionText(unsigned nAvcodecVersion, unsigned nAvformatVersion,
                              std::string_view szShellLibraries);

// Shows the text for the libraries loaded now (ShellShowUsage: standard output,
// or a message box) and returns exit code 0. szShellLibraries names the
// shell's own, e.g. "SDL 2.26.5".
int ShowVersion(std::string_view szShellLibraries);
