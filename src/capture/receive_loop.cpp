#include "capture/receive_loop.h"

#include "device/capture_session.h"

int32_t ReceivePacket(CaptureSession& session, std::vector<uint8_t>& vecPacket) {
  vecPacket.clear();
  if (!session.pRecvBuffer) session.pRecvBuffer = std::make_unique<uint8_t[]>(kReceiveBufferSize);
  const int nRead = usb_bulk_read(session.pDevHandle, session.QtConfig.byInEndpoint,
                                  reinterpret_cast<char*>(session.pRecvBuffer.get()),
                                  static_cast<int>(kReceiveBufferSize), 1000);
  if (nRead < 0) return nRead;
  if (nRead > 4) vecPacket.assign(session.pRecvBuffer.get(), session.pRecvBuffer.get() + nRead);
  return nRead;
}

int32_t SendPacket(CaptureSession& session, std::vector<uint8_t>& vecPacket, int nTimeoutMs) {
  const int nResult = usb_bulk_write(session.pDevHandle, session.QtConfig.byOutEndpoint,
                                     reinterpret_cast<char*>(vecPacket.data()),
                                     static_cast<int>(vecPacket.size()), nTimeoutMs);
  std::vector<uint8_t>().swap(vecPacket);
  return nResult;
}

bool ReceiveLoop(CaptureSession& session) {
  std::vector<uint8_t> vecPacket;
  while (session.nRunState.load() != kRunStopRequested) {
    const int32_t nResult = ReceivePacket(session, vecPacket);
    if (nResult < 0 && nResult != kUsbTimeoutResult) break;
  }
  return true;
}
