// The parsed descriptors of one enumerated device, laid out as the USB library
// hands them to a program: a `struct usb_device` whose configuration,
// interface, alternate-setting and endpoint arrays all live in this record.
#pragma once

#include <memory>
#include <vector>

#include "sim.h"
#include "usb/usb_api.h"

namespace vsim {

struct DeviceRecord {
  struct usb_device device {};
  std::vector<usb_config_descriptor> configs;
  std::vector<std::vector<usb_interface>> interfaces;              // per configuration
  std::vector<std::vector<usb_interface_descriptor>> altSettings;  // per interface, all configs
  std::vector<std::vector<usb_endpoint_descriptor>> endpoints;     // per alternate setting
};

// The layouts a device shows before and after the mode-on request when its
// configuration leaves them empty.
std::vector<Configuration> DefaultLayoutBeforeModeOn();
std::vector<Configuration> DefaultLayoutAfterModeOn();

// Builds the record of a device at bus address nDevnum (file name "%03d").
std::unique_ptr<DeviceRecord> MakeDeviceRecord(const DeviceConfig& config,
                                               const std::vector<Configuration>& layout,
                                               int nDevnum, usb_bus* pBus);

}  // namespace vsim
