// A simulated phone in capture mode, connected to the mini host, on the
// virtual clock.
#pragma once

#include <gtest/gtest.h>

#include "mini_host.h"
#include "platform/clock.h"
#include "sim.h"
#include "support/h264_maker.h"
#include "usb_host_helpers.h"

namespace simtest {

inline vtest::H264Stream SmallStream(int nFrames, int nFps = 30) {
  vtest::H264Options options;
  options.nFrames = nFrames;
  options.nFps = nFps;
  return vtest::MakeH264Stream(options);
}

// The usual device with one change.
template <typename Edit>
vsim::DeviceConfig With(Edit edit) {
  vsim::DeviceConfig config;
  edit(config);
  return config;
}

inline Bytes Concatenated(const std::vector<Bytes>& units) {
  Bytes all;
  for (const Bytes& unit : units) all.insert(all.end(), unit.begin(), unit.end());
  return all;
}

// The configuration record inside a format description's extensions: the
// payload of its `datv` item, found by walking the bytes for the tag.
inline Bytes RecordIn(const Bytes& fdsc) {
  for (size_t i = 4; i + 4 <= fdsc.size(); ++i) {
    if (U32(fdsc, i) == Code("datv")) {
      const uint32_t nLength = U32(fdsc, i - 4);
      if (nLength >= 8 && i - 4 + nLength <= fdsc.size()) {
        return Bytes(fdsc.begin() + long(i) + 4, fdsc.begin() + long(i - 4 + nLength));
      }
    }
  }
  return {};
}

class SimProtocol : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { vtest::QuietFfmpegLogs(); }
  void SetUp() override {
    vsim::Reset();
    UseVirtualClock(100000);
  }
  void TearDown() override {
    vsim::Reset();
    UseRealClock();
  }

  void Connect(vsim::DeviceConfig config, const vtest::H264Stream& stream) {
    config.bCaptureModeOn = true;
    config.vecH264 = vtest::JoinAccessUnits(stream.accessUnits);
    nDevice = vsim::AddDevice(config);
    Reconnect();
  }
  void Reconnect() {
    Scan();
    host = MiniHost{};
    host.pHandle = usb_open(FirstOfVendor(0x05AC));
    ASSERT_EQ(usb_set_configuration(host.pHandle, 2), 0);
    ASSERT_EQ(usb_claim_interface(host.pHandle, 2), 0);
  }
  // Reads until nPictures feeds have come, a read fails, or nMaxReads passed.
  int RunUntilPictures(size_t nPictures, int nMaxReads = 5000) {
    int nResult = 0;
    for (int i = 0; i < nMaxReads && host.feedTimes.size() < nPictures; ++i) {
      nResult = Step(host);
      if (nResult < 0 && nResult != kUsbTimeoutResult) break;
    }
    return nResult;
  }
  std::vector<Bytes> Feeds() const { return Received(host, Code("asyn"), Code("feed")); }

  int nDevice = -1;
  MiniHost host;
};

}  // namespace simtest
