// What every fuzz target that talks to a device shares: a scripted simulated
// device with its capture interface claimed, ready for one receive loop, and
// the FFmpeg decoder behind the video slots.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "capture/capture_session.h"

// Fresh bus with one scripted device in its capture configuration; opens it,
// selects that configuration, claims the capture interface and fills the
// session's QtConfig and handle. False when the device could not be reached.
bool ConnectFuzzDevice(CaptureSession& session, int& nDevice);

// Closes the handle the connection opened.
void DisconnectFuzzDevice(CaptureSession& session);

// The session the targets reuse (its two 5 MiB buffers are made once), with
// every per-connection field back at its start value.
CaptureSession& FreshFuzzSession();

struct VideoDecoder;

// Opens the decoder the video slots feed (once) and quiets FFmpeg's log; the
// decoder, null when it could not be opened.
VideoDecoder* PrepareFuzzDecoder();

// Splits fuzz input into pieces: each a 2-byte little-endian size, then that
// many bytes (fewer at the end of the input).
std::vector<std::span<const uint8_t>> SplitFuzzInput(std::span<const uint8_t> input);
