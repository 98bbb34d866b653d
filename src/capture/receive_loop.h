// Packet transport over the capture interface's two bulk endpoints and the
// loop that runs one device connection.
#pragma once

#include <cstdint>
#include <vector>

struct CaptureSession;

// Empties vecPacket and fills it with the next packet. Result: a byte count
// above 4 with the packet filled, 0..4 with the packet empty, or the negative
// result of the bulk read (kUsbTimeoutResult when the device was silent).
int32_t ReceivePacket(CaptureSession& session, std::vector<uint8_t>& vecPacket);

// One bulk write of the whole packet, limited to kUsbTransferTimeoutMs;
// releases the packet's storage after it. Once a stop is requested nothing
// more is written: the packet in hand may owe several answers, and a device
// that no longer takes data would hold the stop for a second each.
int32_t SendPacket(CaptureSession& session, std::vector<uint8_t>& vecPacket);

// Runs one connection; returns true when it is over, for whatever reason.
bool ReceiveLoop(CaptureSession& session);
