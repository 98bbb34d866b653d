// The XDG user directories as Linux desktops write them.
#include "app/save_folders.h"

#include <gtest/gtest.h>

namespace {

TEST(SaveFolders, ReadsTheXdgEntry) {
  const char szText[] =
      "# This file is written by xdg-user-dirs-update\n"
      "XDG_PICTURES_DIR=\"$HOME/Imágenes\"\n"
      "  XDG_VIDEOS_DIR=\"/srv/vídeos\"\r\n"
      "XDG_MUSIC_DIR=$HOME/Music\n"
      "XDG_DOCUMENTS_DIR=\"relative/path\"\n"
      "XDG_PICTURES_DIRX=\"/wrong\"\n";
  const std::pair<const char*, const char*> cases[] = {
      {"XDG_PICTURES_DIR", "/home/ana/Imágenes"},
      {"XDG_VIDEOS_DIR", "/srv/vídeos"},
      {"XDG_MUSIC_DIR", ""},      // not quoted
      {"XDG_DOCUMENTS_DIR", ""},  // neither $HOME nor absolute
      {"XDG_TEMPLATES_DIR", ""},
  };
  for (const auto& [szKey, szExpected] : cases)
    EXPECT_EQ(ReadXdgUserDir(szText, szKey, "/home/ana"), szExpected) << szKey;
  EXPECT_EQ(SaveFolder(SaveKind::Videos, "/chosen"), "/chosen") << "--save-dir wins";
}

}  // namespace
