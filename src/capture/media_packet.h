// The media step of the receive loop: one feed (video) or eat! (audio) packet
// parsed, timed and handed to the session callbacks.
#pragma once

#include <cstdint>
#include <span>

struct CaptureSession;

// nMediaKind is kMediaVide for feed and kMediaSoun for eat!. Sets *pbError
// when the packet is not usable (the loop then resets the device); otherwise
// leaves it as the caller set it. A packet shorter than its 20-byte header
// carries an empty sample buffer.
void ReceiveAsynPacket(CaptureSession& session, std::span<const uint8_t> packet,
                       uint32_t nMediaKind, bool* pbError);
