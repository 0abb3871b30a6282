#pragma once

#include <deque>
#include <map>
#include <vector>

#include "D2xxApi.h"
#include "FakeFtdiPort.h"
#include "FtdiBus.h"

// The USB bus for the libftdi1 backend, holding the devices of a D2XX device (the
// simulated pod): the entries are its listed devices on bus 1 from address 2 on, and
// opening one opens it there by description. Listing and opening can be scripted to fail.
class FakeFtdiBus final : public FtdiBus {
public:
    explicit FakeFtdiBus(D2xxApi& device) : device_(device) {}

    int Enumerate(std::vector<FtdiDeviceEntry>& devices) override;
    std::unique_ptr<FtdiPort> Open(const FtdiDeviceEntry& device, FtdiOpenError& error) override;

    // Scripting.
    int enumerateError = 0;
    std::map<std::size_t, int> stringsErrors;  // list index -> libusb error
    FtdiOpenError openFailure;                 // kind None: opening works
    std::uint16_t productId = 0x6001;
    unsigned seed = 1;

    // Inspection: one record per port opened, in order (a deque: ports keep references).
    std::deque<FakePortRecord> ports;
    int enumerations = 0;

private:
    D2xxApi& device_;
};
