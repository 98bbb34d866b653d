// The host's display and audio announcements, sent around the CWPA reply.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

struct CaptureSession;

// The 172-byte display announcement.
std::vector<uint8_t> BuildHPD1Packet();

// The 337-byte audio announcement carrying the device's clock reference.
std::vector<uint8_t> BuildHPA1Packet(uint64_t qwDeviceClockRef);

// The audio announcement's constant dictionary.
std::span<const uint8_t> AudioAnnouncementDictionary();

// Sends the display announcement twice, then logs.
void SendHPD1(CaptureSession& session);

// Sends the audio announcement once, then logs.
void SendHPA1(CaptureSession& session, uint64_t qwDeviceClockRef);
