// The two audio slots' work with whatever a device may send, interleaved with
// the card's pulls: formats of any values, chunks of any size, pauses of any
// length. Every chunk and every period is a buffer of exactly its size.
#include <cstdint>
#include <cstring>
#include <vector>

#include "audio/audio_player.h"

namespace {

// The input as a script: an opcode byte, then its operands.
struct Reader {
  const uint8_t* pData;
  size_t nSize;
  size_t nAt = 0;

  bool More() const { return nAt < nSize; }
  uint32_t Take(size_t nBytes) {
    uint32_t nValue = 0;
    for (size_t i = 0; i < nBytes && nAt < nSize; ++i) nValue |= uint32_t{pData[nAt++]} << (8 * i);
    return nValue;
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t nSize) {
  AudioPlayer player;
  player.bCardOpen = true;
  Reader input{pData, nSize};
  uint64_t qwNowMs = 0;
  while (input.More()) {
    const uint32_t nOp = input.Take(1);
    qwNowMs += input.Take(1);
    switch (nOp % 4) {
      case 0: {
        const uint32_t nBits = input.Take(4);
        const uint32_t nChannels = input.Take(4);
        PlayerAudioFormat(player, nBits, nChannels, static_cast<int32_t>(input.Take(4)));
        break;
      }
      case 1: {
        const size_t nBytes = input.Take(2);
        std::vector<uint8_t> chunk(nBytes);
        const size_t nCopy = std::min(nBytes, input.nSize - input.nAt);
        if (nCopy > 0) std::memcpy(chunk.data(), input.pData + input.nAt, nCopy);
        input.nAt += nCopy;
        PlayerAudioData(player, chunk.empty() ? nullptr : chunk.data(),
                        static_cast<int32_t>(chunk.size()), qwNowMs);
        break;
      }
      case 2: {
        // A period as the card asks for it, in the format it was opened with
        // (or some other one, as just before a re-open).
        AudioFormat played = JitterFormat(player.buffer);
        if (input.Take(1) % 2 == 1) played = {48000, 1 + input.Take(1) % 8};
        if (played.nChannels == 0) played = {48000, 2};
        std::vector<int16_t> period(static_cast<size_t>(played.nRate / 100) * played.nChannels);
        PlayerFill(player, period.data(), static_cast<uint32_t>(period.size()), played);
        break;
      }
      default:
        ToggleAudioMute(player);
        break;
    }
  }
  return 0;
}
