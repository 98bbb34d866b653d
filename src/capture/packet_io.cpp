// The only reader and writer of the capture interface's bulk endpoints.

#include "capture/byte_order.h"
#include "capture/capture_session.h"
#include "capture/packet_format.h"
#include "capture/receive_loop.h"

namespace {

inline constexpr int kReadTimeoutMs = 1000;

static_assert(kMaxPacketSize <= kReceiveBufferSize);

// True when the bytes are whole packets lying back to back, each with a length
// that covers at least its header and stays inside the bytes. Checked once per
// transfer so that a lying length can neither send a later copy outside the
// buffers nor leave a packet that makes no progress.
bool IsWellFramed(ByteView transfer) {
  size_t nOffset = 0;
  while (nOffset < transfer.size()) {
    const std::optional<uint32_t> nLength = ReadLe32(transfer, nOffset);
    if (!nLength || *nLength < kPacketHeaderSize || *nLength > kMaxPacketSize ||
        *nLength > transfer.size() - nOffset) {
      return false;
    }
    nOffset += *nLength;
  }
  return true;
}

void EmptyPendingStore(CaptureSession& session) {
  session.nPendingOffset = 0;
  session.nPendingLength = 0;
}

void EnsureReceiveBuffers(CaptureSession& session) {
  if (!session.pRecvBuffer) session.pRecvBuffer = std::make_unique<uint8_t[]>(kReceiveBufferSize);
}

// Hands out the next packet of the pending store: the packets after the first
// of a transfer, left in the receive buffer where the read put them (it is
// not read into again before they are all out), so each costs one copy, into
// its packet, not two. The store was checked when its transfer arrived; the
// length is checked again all the same, because the offsets are plain fields
// of the session.
int32_t TakePendingPacket(CaptureSession& session, std::vector<uint8_t>& vecPacket) {
  if (session.nPendingLength > kReceiveBufferSize) {
    EmptyPendingStore(session);
    return 0;
  }
  const ByteView pending(session.pRecvBuffer.get() + session.nPendingOffset,
                         session.nPendingLength - session.nPendingOffset);
  const std::optional<uint32_t> nLength = ReadLe32(pending, kPacketLengthOffset);
  if (!nLength || *nLength < kPacketHeaderSize || *nLength > pending.size()) {
    EmptyPendingStore(session);
    return 0;
  }
  vecPacket.assign(pending.begin(), pending.begin() + *nLength);
  session.nPendingOffset += *nLength;
  if (session.nPendingOffset == session.nPendingLength) EmptyPendingStore(session);
  return static_cast<int32_t>(*nLength);
}

}  // namespace

int32_t ReceivePacket(CaptureSession& session, std::vector<uint8_t>& vecPacket) {
  vecPacket.clear();
  EnsureReceiveBuffers(session);
  if (session.nPendingOffset < session.nPendingLength) return TakePendingPacket(session, vecPacket);
  EmptyPendingStore(session);

  uint8_t* pRecv = session.pRecvBuffer.get();
  const int nResult = usb_bulk_read(session.pDevHandle, session.QtConfig.byInEndpoint,
                                    reinterpret_cast<char*>(pRecv),
                                    static_cast<int>(kReceiveBufferSize), kReadTimeoutMs);
  if (nResult <= 4) return nResult;
  if (static_cast<uint32_t>(nResult) > kReceiveBufferSize) return 0;

  const ByteView transfer(pRecv, static_cast<size_t>(nResult));
  if (!IsWellFramed(transfer)) return 0;
  const uint32_t nLength = *ReadLe32(transfer, kPacketLengthOffset);
  if (nLength < transfer.size()) {
    session.nPendingOffset = nLength;
    session.nPendingLength = static_cast<uint32_t>(transfer.size());
  }
  vecPacket.assign(transfer.begin(), transfer.begin() + nLength);
  return nResult;
}

int32_t SendPacket(CaptureSession& session, std::vector<uint8_t>& vecPacket) {
  int nResult = kUsbTimeoutResult;
  if (session.nRunState.load() == kRunRunning) {
    nResult = usb_bulk_write(session.pDevHandle, session.QtConfig.byOutEndpoint,
                             reinterpret_cast<char*>(vecPacket.data()),
                             static_cast<int>(vecPacket.size()), kUsbTransferTimeoutMs);
  }
  std::vector<uint8_t>().swap(vecPacket);
  return nResult;
}
