// What the host did to the emulated devices, in memory and optionally in a
// file that is written line by line as it happens (a killed program still
// leaves its transcript behind).
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "sim.h"

namespace vsim {

struct TranscriptLog {
  std::vector<Event> events;
  std::FILE* pFile = nullptr;
  // Off in the preloaded library: a program that runs for hours would
  // otherwise keep every packet it ever wrote.
  bool bKeepEvents = true;
};

// One line of the file format, without its newline; empty for events the
// file does not carry (opens).
std::string EventLine(const Event& event);

Event MakeEvent(Event::Kind kind, int nDevice);

void RecordEvent(TranscriptLog& log, Event event);

// Protocol failures also go to the file, as "error <text>" lines.
void RecordErrorLine(TranscriptLog& log, const std::string& szText);

// The device's damage to its own transfers (file only): "chaos <transfer>
// <kind>" for each, "chaos-end <transfer>" once the last that may be damaged
// has gone out. Tests and the soak time the host's recovery by them.
void RecordChaosLine(TranscriptLog& log, const std::string& szText);

// Starts writing the file (replacing it); false when it cannot be created.
bool OpenTranscriptFile(TranscriptLog& log, const std::string& szPath);

void ClearTranscript(TranscriptLog& log);

}  // namespace vsim
