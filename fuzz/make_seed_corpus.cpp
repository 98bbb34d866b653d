// Writes the seed corpus of the fuzz targets: real packets of a short session,
// with video made by x264 at run time. Usage: make_seed_corpus <corpus folder>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "capture_test_util.h"
#include "support/h264_maker.h"

using captest::Bytes;
using captest::Item;
using captest::Join;

namespace {

Bytes Concat(const std::vector<Bytes>& vecParts) {
  Bytes joined;
  for (const Bytes& part : vecParts) joined.insert(joined.end(), part.begin(), part.end());
  return joined;
}

// Pieces as the targets split their input: 2-byte little-endian size, bytes.
Bytes Pieces(const std::vector<Bytes>& vecPieces) {
  Bytes input;
  for (const Bytes& piece : vecPieces) {
    input.push_back(static_cast<uint8_t>(piece.size()));
    input.push_back(static_cast<uint8_t>(piece.size() >> 8));
    input.insert(input.end(), piece.begin(), piece.end());
  }
  return input;
}

void Write(const std::filesystem::path& dir, const std::string& szName, const Bytes& bytes) {
  std::filesystem::create_directories(dir);
  vtest::WriteFile((dir / szName).string(), bytes);
}

// The extensions block of a video format description holding the record.
Bytes Extensions(const Bytes& record) {
  return Join({Item("strk", captest::Hex("61 76 63 43")), Item("datv", record)});
}

}  // namespace

int main(int nArgs, char** ppArgs) {
  if (nArgs != 2) {
    std::fprintf(stderr, "usage: %s <corpus folder>\n", ppArgs[0]);
    return 2;
  }
  const std::filesystem::path root = ppArgs[1];
  vtest::QuietFfmpegLogs();
  vtest::H264Options options;
  options.nWidth = 64;
  options.nHeight = 48;
  options.nFrames = 3;
  const vtest::H264Stream stream = vtest::MakeH264Stream(options);
  const std::vector<vtest::DeviceSample> samples = vtest::ToDeviceSamples(stream.accessUnits);

  std::vector<Bytes> vecFeeds;
  for (size_t i = 0; i < samples.size(); ++i) {
    const Bytes opts = captest::Opts(static_cast<int64_t>(i) * 1000, 60000);
    const Bytes sdat = Item("sdat", Concat(samples[i].units));
    const Bytes sbuf =
        samples[i].record.empty()
            ? captest::Sbuf({opts, sdat})
            : captest::Sbuf({opts, captest::VideoFdsc(samples[i].record, 64, 48), sdat});
    vecFeeds.push_back(captest::AsynPacket("feed", sbuf, 0x7000));
  }
  const Bytes eat = captest::AsynPacket(
      "eat!",
      captest::Sbuf({captest::Opts(480, 48000), captest::AudioFdsc(16, 2, 48000.0),
                     Item("sdat", Bytes(64, 0))}),
      0x6000);
  const Bytes ping = captest::Hex("10 00 00 00 67 6e 69 70 00 00 00 00 01 00 00 00");
  const std::vector<Bytes> vecRequests = {
      ping,
      captest::SyncPacket("cwpa", 1, 1, 0x6000),
      captest::SyncPacket("afmt", 0x6000, 2, 0),
      captest::SyncPacket("cvrp", 1, 3, 0x7000),
      captest::SyncPacket("clok", 0x7000, 4, 0),
      captest::SyncPacket("time", 0x8000, 5, 0),
  };
  const std::vector<Bytes> vecLater = {captest::SyncPacket("skew", 0x6000, 6, 0),
                                       captest::SyncPacket("go! ", 0x6000, 7, 0),
                                       captest::SyncPacket("stop", 0x6000, 8, 0)};

  // The receive path: one packet a transfer, then several packets a transfer.
  std::vector<Bytes> vecSession = vecRequests;
  vecSession.insert(vecSession.end(), vecFeeds.begin(), vecFeeds.end());
  vecSession.push_back(eat);
  vecSession.insert(vecSession.end(), vecLater.begin(), vecLater.end());
  Write(root / "receive_path_fuzz", "session", Pieces(vecSession));
  Write(root / "receive_path_fuzz", "merged",
        Pieces({Concat(vecRequests), Concat(vecFeeds), Join({eat, Concat(vecLater)})}));

  // Sample buffers: mode byte, then the packet.
  Write(root / "sample_buffer_fuzz", "feed_first", Join({{0}, vecFeeds[0]}));
  Write(root / "sample_buffer_fuzz", "feed_later", Join({{2}, vecFeeds[1]}));
  Write(root / "sample_buffer_fuzz", "eat", Join({{1}, eat}));

  // Video slots: the extensions block, then the units of each picture.
  std::vector<Bytes> vecSlots = {Extensions(samples[0].record)};
  for (const vtest::DeviceSample& sample : samples) {
    vecSlots.insert(vecSlots.end(), sample.units.begin(), sample.units.end());
  }
  Write(root / "video_slots_fuzz", "stream", Pieces(vecSlots));
  return 0;
}
