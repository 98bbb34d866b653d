// Bulk transfers. A read waits on the project's clock, in small steps on the
// real clock (so that a test thread's QueueTransfer or Unplug is seen soon)
// and in one step on the virtual one (so that silence costs no real time).
#include <algorithm>
#include <cstring>

#include "bus.h"
#include "platform/clock.h"

using vsim::SimDevice;
using vsim::SimState;
using vsim::State;

namespace vsim {

namespace {

constexpr uint64_t kRealClockStepMs = 5;
constexpr uint64_t kLongestStepMs = 1000;

// The endpoint belongs to a claimed interface and points the right way; on
// the capture interface, tells so.
bool EndpointUsable(const SimDevice& device, int nEndpoint, bool bIn, bool& bCapture) {
  bCapture = false;
  if (((nEndpoint & 0x80) != 0) != bIn) return false;
  for (int nInterface : device.claimed) {
    for (const AltSetting* pAlt : ClaimableSettings(device, nInterface)) {
      for (const Endpoint& endpoint : pAlt->endpoints) {
        if (endpoint.byAddress != (nEndpoint & 0xFF)) continue;
        bCapture = IsCaptureSetting(*pAlt);
        return true;
      }
    }
  }
  return false;
}

uint64_t DeadlineOf(int nTimeout, uint64_t qwNow) {
  if (nTimeout == kUsbNoTimeLimit) return kNever;
  if (nTimeout < 0) return qwNow;
  return qwNow + static_cast<uint64_t>(nTimeout);
}

struct Delivery {
  enum { Bytes, Unplug, Wait } kind = Wait;
  std::vector<uint8_t> vecBytes;
  uint64_t qwDueAt = kNever;
};

Damage DamageTransfer(SimState& state, SimDevice& device, std::vector<uint8_t>& vecBytes) {
  const ChaosConfig& config = device.config.chaos;
  if (!config.bOn) return Damage::None;
  const Damage damage = PassTransfer(device.chaos, config, vecBytes);
  const std::string szNumber = std::to_string(device.chaos.qwTransfers);
  if (damage != Damage::None) {
    RecordChaosLine(state.transcript, "chaos " + szNumber + " " + DamageName(damage));
  }
  if (device.chaos.qwTransfers == config.qwTo) {
    RecordChaosLine(state.transcript, "chaos-end " + szNumber);
  }
  return damage;
}

Delivery NextDelivery(SimState& state, SimDevice& device, int nDevice, bool bCapture,
                      uint64_t qwNow) {
  Delivery delivery;
  if (!device.queue.empty()) {
    QueuedTransfer transfer = std::move(device.queue.front());
    device.queue.pop_front();
    delivery.kind = transfer.bUnplug ? Delivery::Unplug : Delivery::Bytes;
    delivery.vecBytes = std::move(transfer.vecBytes);
    return delivery;
  }
  if (device.config.bSilent || !bCapture || !device.bSessionActive) return delivery;
  if (!device.chaos.repeats.empty()) {
    delivery.kind = Delivery::Bytes;
    delivery.vecBytes = std::move(device.chaos.repeats.front());
    device.chaos.repeats.pop_front();
    return delivery;
  }
  std::vector<std::string> errors;
  NextTransfer next = PollDevice(device.session, device.config, device.pVideo.get(), qwNow, errors);
  for (const std::string& szError : errors) AddError(state, nDevice, szError);
  if (!next.bReady) {
    delivery.qwDueAt = next.qwDueAt;
    return delivery;
  }
  delivery.kind = Delivery::Bytes;
  delivery.vecBytes = std::move(next.vecBytes);
  if (DamageTransfer(state, device, delivery.vecBytes) == Damage::Drop) {
    // Gone on the way: the read goes on waiting for the next one.
    delivery.kind = Delivery::Wait;
    delivery.qwDueAt = qwNow;
  }
  if (next.bPicture) {
    ++device.nFramesSent;
    ++device.nFramesSincePlug;
    const bool bUnplugDue = device.config.bUnplugRepeats
                                ? device.nFramesSincePlug >= device.config.nUnplugAfterFrames
                                : device.nFramesSent >= device.config.nUnplugAfterFrames;
    if ((device.config.bUnplugRepeats || !device.bScenarioUnplugDone) &&
        device.config.nUnplugAfterFrames >= 0 && bUnplugDue) {
      device.bScenarioUnplugDone = true;
      device.queue.push_back({{}, true});
    }
  }
  return delivery;
}

// The read itself, the lock taken here; the hooks run outside it.
int BulkRead(SimState& state, usb_dev_handle* dev, int ep, char* bytes, int size, int timeout) {
  std::unique_lock lock(state.mutex);
  const uint64_t qwDeadline = DeadlineOf(timeout, ClockTicks());
  for (;;) {
    const uint64_t qwNow = ClockTicks();
    ApplyTime(state, qwNow);
    SimDevice* pDevice = LiveDevice(state, dev);
    if (pDevice == nullptr) return HandleError(state, dev);
    bool bCapture = false;
    if (!EndpointUsable(*pDevice, ep, true, bCapture)) return kNoEntry;
    Delivery delivery = NextDelivery(state, *pDevice, dev->nDevice, bCapture, qwNow);
    if (delivery.kind == Delivery::Unplug) {
      UnplugDevice(*pDevice, qwNow);
      return kNoDevice;
    }
    if (delivery.kind == Delivery::Bytes) {
      if (bytes == nullptr || size < 0 || delivery.vecBytes.size() > static_cast<size_t>(size)) {
        return kOverflow;
      }
      std::copy(delivery.vecBytes.begin(), delivery.vecBytes.end(), bytes);
      return static_cast<int>(delivery.vecBytes.size());
    }
    if (qwNow >= qwDeadline) return kUsbTimeoutResult;
    uint64_t qwWait = std::min(delivery.qwDueAt, qwDeadline) - qwNow;
    qwWait = std::min(qwWait, IsVirtualClock() ? kLongestStepMs : kRealClockStepMs);
    lock.unlock();
    ClockSleep(static_cast<uint32_t>(std::max<uint64_t>(qwWait, 1)));
    lock.lock();
  }
}

// A device that takes no more data: the write waits out its time-out (none:
// until the device goes away), in small steps so that an unplug is seen.
int HangWrite(SimState& state, std::unique_lock<std::mutex>& lock, usb_dev_handle* dev,
              int nTimeout) {
  const uint64_t qwDeadline = DeadlineOf(nTimeout, ClockTicks());
  for (;;) {
    if (LiveDevice(state, dev) == nullptr) return HandleError(state, dev);
    const uint64_t qwNow = ClockTicks();
    if (qwNow >= qwDeadline) return kUsbTimeoutResult;
    lock.unlock();
    ClockSleep(static_cast<uint32_t>(std::min(qwDeadline - qwNow, kRealClockStepMs)));
    lock.lock();
  }
}

int BulkWrite(SimState& state, usb_dev_handle* dev, int ep, std::span<const uint8_t> data,
              int nTimeout) {
  std::unique_lock lock(state.mutex);
  Event event = MakeEvent(Event::BulkWrite, dev != nullptr ? dev->nDevice : -1);
  event.nEndpoint = ep;
  event.vecBytes.assign(data.begin(), data.end());
  RecordEvent(state.transcript, std::move(event));
  SimDevice* pDevice = LiveDevice(state, dev);
  if (pDevice == nullptr) return HandleError(state, dev);
  bool bCapture = false;
  if (!EndpointUsable(*pDevice, ep, false, bCapture)) return kNoEntry;
  if (bCapture && pDevice->config.nHangOutAfter >= 0 &&
      pDevice->nHostWrites++ >= pDevice->config.nHangOutAfter) {
    return HangWrite(state, lock, dev, nTimeout);
  }
  if (bCapture && pDevice->bSessionActive && !pDevice->config.bSilent) {
    std::vector<std::string> errors;
    OnHostWrite(pDevice->session, data, ClockTicks(), errors);
    for (const std::string& szError : errors) AddError(state, dev->nDevice, szError);
  }
  return static_cast<int>(data.size());
}

TransferHook CurrentTransferHook(SimState& state) {
  std::lock_guard lock(state.mutex);
  return state.transferHook;
}

}  // namespace

}  // namespace vsim

extern "C" {

int usb_bulk_read(usb_dev_handle* dev, int ep, char* bytes, int size, int timeout) {
  SimState& state = State();
  std::function<void()> hook;
  {
    std::lock_guard lock(state.mutex);
    hook = state.readHook;
  }
  if (hook) hook();
  const int nResult = vsim::BulkRead(state, dev, ep, bytes, size, timeout);
  if (nResult > 0) {
    if (const vsim::TransferHook transferHook = vsim::CurrentTransferHook(state)) {
      const auto* pBytes = reinterpret_cast<const uint8_t*>(bytes);
      transferHook(vsim::TransferPoint::ReadReturning,
                   std::span<const uint8_t>(pBytes, static_cast<size_t>(nResult)));
    }
  }
  return nResult;
}

int usb_bulk_write(usb_dev_handle* dev, int ep, const char* bytes, int size, int timeout) {
  SimState& state = State();
  const auto* pBytes = reinterpret_cast<const uint8_t*>(bytes);
  const std::span<const uint8_t> data(pBytes, pBytes != nullptr && size > 0 ? size : 0);
  const vsim::TransferHook transferHook = vsim::CurrentTransferHook(state);
  if (transferHook) transferHook(vsim::TransferPoint::WriteEntered, data);
  const int nResult = vsim::BulkWrite(state, dev, ep, data, timeout);
  if (transferHook) transferHook(vsim::TransferPoint::WriteReturning, data);
  return nResult;
}

int usb_interrupt_read(usb_dev_handle* dev, int /*ep*/, char* /*bytes*/, int /*size*/,
                       int /*timeout*/) {
  SimState& state = State();
  std::lock_guard lock(state.mutex);
  const int nError = vsim::HandleError(state, dev);
  return nError != 0 ? nError : vsim::kNoEntry;
}

int usb_interrupt_write(usb_dev_handle* dev, int ep, const char* bytes, int size, int timeout) {
  return usb_interrupt_read(dev, ep, const_cast<char*>(bytes), size, timeout);
}

}  // extern "C"
