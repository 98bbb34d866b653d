// Four-character codes of the capture protocol. Each is the 32-bit value whose
// most significant byte is the first character; stored little-endian like
// every other integer, its characters travel reversed ("ping" as "gnip").
// Codes are compared and written only as these values, never as text.
#pragma once

#include <cstdint>

constexpr uint32_t FourCC(const char (&szCode)[5]) {
  return (static_cast<uint32_t>(static_cast<uint8_t>(szCode[0])) << 24) |
         (static_cast<uint32_t>(static_cast<uint8_t>(szCode[1])) << 16) |
         (static_cast<uint32_t>(static_cast<uint8_t>(szCode[2])) << 8) |
         static_cast<uint32_t>(static_cast<uint8_t>(szCode[3]));
}

// Packet kinds.
inline constexpr uint32_t kMagicPing = FourCC("ping");
inline constexpr uint32_t kMagicSync = FourCC("sync");
inline constexpr uint32_t kMagicAsyn = FourCC("asyn");
inline constexpr uint32_t kMagicRply = FourCC("rply");

// Sync sub-types (device requests).
inline constexpr uint32_t kSyncCwpa = FourCC("cwpa");
inline constexpr uint32_t kSyncAfmt = FourCC("afmt");
inline constexpr uint32_t kSyncCvrp = FourCC("cvrp");
inline constexpr uint32_t kSyncClok = FourCC("clok");
inline constexpr uint32_t kSyncTime = FourCC("time");
inline constexpr uint32_t kSyncOg = FourCC("go! ");
inline constexpr uint32_t kSyncSkew = FourCC("skew");
inline constexpr uint32_t kSyncStop = FourCC("stop");

// Asyn sub-types: media from the device, requests and announcements from the host.
inline constexpr uint32_t kAsynFeed = FourCC("feed");
inline constexpr uint32_t kAsynEat = FourCC("eat!");
inline constexpr uint32_t kAsynNeed = FourCC("need");
inline constexpr uint32_t kAsynHpd1 = FourCC("hpd1");
inline constexpr uint32_t kAsynHpa1 = FourCC("hpa1");

// Dictionary items.
inline constexpr uint32_t kTagDict = FourCC("dict");
inline constexpr uint32_t kTagKeyv = FourCC("keyv");
inline constexpr uint32_t kTagStrk = FourCC("strk");
inline constexpr uint32_t kTagStrv = FourCC("strv");
inline constexpr uint32_t kTagBulv = FourCC("bulv");
inline constexpr uint32_t kTagNmbv = FourCC("nmbv");
inline constexpr uint32_t kTagDatv = FourCC("datv");

// Sample-buffer items.
inline constexpr uint32_t kTagSbuf = FourCC("sbuf");
inline constexpr uint32_t kTagOpts = FourCC("opts");
inline constexpr uint32_t kTagFdsc = FourCC("fdsc");
inline constexpr uint32_t kTagNsmp = FourCC("nsmp");
inline constexpr uint32_t kTagSdat = FourCC("sdat");
inline constexpr uint32_t kTagSatt = FourCC("satt");
inline constexpr uint32_t kTagSary = FourCC("sary");
inline constexpr uint32_t kTagSsiz = FourCC("ssiz");
inline constexpr uint32_t kTagStia = FourCC("stia");
inline constexpr uint32_t kTagMdia = FourCC("mdia");
inline constexpr uint32_t kTagVdim = FourCC("vdim");
inline constexpr uint32_t kTagCodc = FourCC("codc");
inline constexpr uint32_t kTagExtn = FourCC("extn");
inline constexpr uint32_t kTagAsbd = FourCC("asbd");

// Media kinds: the media type inside a format description, and what the
// receive loop tells the sample-buffer step it is looking at.
inline constexpr uint32_t kMediaVide = FourCC("vide");
inline constexpr uint32_t kMediaSoun = FourCC("soun");

// Audio format code of the audio announcement.
inline constexpr uint32_t kFormatLpcm = FourCC("lpcm");
