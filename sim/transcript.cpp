#include "transcript.h"

#include <cstdint>
#include <cstdio>

#include "packet_writer.h"

namespace vsim {

namespace {

std::string Format(const char* pFormat, int a, int b = 0, int c = 0, int d = 0, int e = 0) {
  char szLine[96];
  std::snprintf(szLine, sizeof szLine, pFormat, a, b, c, d, e);
  return szLine;
}

void WriteLine(std::FILE* pFile, const std::string& szLine) {
  if (pFile == nullptr || szLine.empty()) return;
  std::fputs(szLine.c_str(), pFile);
  std::fputc('\n', pFile);
  std::fflush(pFile);
}

}  // namespace

std::string EventLine(const Event& event) {
  switch (event.kind) {
    case Event::BulkWrite:
      return Format("bulk_write 0x%02x ", event.nEndpoint) + HexOf(event.vecBytes, SIZE_MAX);
    case Event::Control:
      return Format("control 0x%02x 0x%02x 0x%04x 0x%04x %d", event.nRequestType & 0xFF,
                    event.nRequest & 0xFF, event.nValue & 0xFFFF, event.nIndex & 0xFFFF,
                    event.nLength);
    case Event::SetConfiguration:
      return Format("set_configuration %d", event.nNumber);
    case Event::ClaimInterface:
      return Format("claim_interface %d", event.nNumber);
    case Event::ReleaseInterface:
      return Format("release_interface %d", event.nNumber);
    case Event::SetAltInterface:
      return Format("set_altinterface %d", event.nNumber);
    case Event::ClearHalt:
      return Format("clear_halt 0x%02x", event.nEndpoint);
    case Event::Reset:
      return "reset";
    case Event::Close:
      return "close";
    case Event::Open:
      break;
  }
  return {};
}

Event MakeEvent(Event::Kind kind, int nDevice) {
  Event event;
  event.kind = kind;
  event.nDevice = nDevice;
  return event;
}

void RecordEvent(TranscriptLog& log, Event event) {
  WriteLine(log.pFile, EventLine(event));
  if (log.bKeepEvents) log.events.push_back(std::move(event));
}

void RecordErrorLine(TranscriptLog& log, const std::string& szText) {
  WriteLine(log.pFile, "error " + szText);
}

void RecordChaosLine(TranscriptLog& log, const std::string& szText) {
  WriteLine(log.pFile, szText);
}

bool OpenTranscriptFile(TranscriptLog& log, const std::string& szPath) {
  if (log.pFile != nullptr) std::fclose(log.pFile);
  log.pFile = std::fopen(szPath.c_str(), "w");
  return log.pFile != nullptr;
}

void ClearTranscript(TranscriptLog& log) {
  log.events.clear();
}

}  // namespace vsim
