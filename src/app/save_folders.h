// Where screenshots and recordings go: the folder the user named with
// --save-dir, else the user's Pictures and Videos folders.
#pragma once

#include <string>
#include <string_view>

enum class SaveKind { Pictures, Videos };

// The folder for that kind of file, in UTF-8: szSaveDir when not empty, else
// the platform's folder for it (Windows: the known folders; Linux: the XDG
// user directory, else ~/Pictures or ~/Videos, else the home folder).
std::string SaveFolder(SaveKind kind, const std::string& szSaveDir);

// The value of one entry of an XDG user-dirs.dirs text (XDG_PICTURES_DIR=
// "$HOME/Pictures"), with $HOME replaced by szHome; empty when the text has
// no such entry or it is not a path.
std::string ReadXdgUserDir(std::string_view szText, std::string_view szKey,
                           const std::string& szHome);
