// Answers to the device's sync requests. Each handler sends exactly one reply
// echoing the request's correlation id (CWPA and CVRP send more around it);
// a request too short for the fields its handler reads is dropped unanswered.
#pragma once

#include <cstdint>
#include <span>

struct CaptureSession;

void HandleCWPA(CaptureSession& session, std::span<const uint8_t> packet);
void HandleAFMT(CaptureSession& session, std::span<const uint8_t> packet);
void HandleCVRP(CaptureSession& session, std::span<const uint8_t> packet);
void HandleCLOK(CaptureSession& session, std::span<const uint8_t> packet);
void HandleTIME(CaptureSession& session, std::span<const uint8_t> packet);
void HandleOG(CaptureSession& session, std::span<const uint8_t> packet);
void HandleSKEW(CaptureSession& session, std::span<const uint8_t> packet);
void HandleSTOP(CaptureSession& session, std::span<const uint8_t> packet);

// The audio rate estimate of the SKEW reply, from the audio timing marks.
double SkewEstimate(const CaptureSession& session);
