#pragma once

#include <functional>
#include <memory>
#include <string>

#include "D2xxLibrary.h"
#include "FtdiBus.h"

class Clock;
class LibFtdiD2xx;

// The D2XX calls through libftdi1 and libusb, for systems without the vendor library.
class LibFtdiLibrary final : public D2xxLibrary {
public:
    // Makes the bus on the first Load(); null with the reason when USB is not available.
    using BusFactory = std::function<std::unique_ptr<FtdiBus>(std::string& error)>;

    // The real USB bus.
    explicit LibFtdiLibrary(Clock& clock);
    LibFtdiLibrary(Clock& clock, BusFactory makeBus);
    ~LibFtdiLibrary() override;

    D2xxApi* Load() override;
    // As with the vendor library, the calls stay valid until this object is destroyed.
    void Free() override {}
    const char* Name() const override { return "libftdi1"; }
    // Why the load failed, or why the last listing, open or transfer went wrong.
    std::string LastError() const override;
    bool DeviceGone() const override;

private:
    Clock& clock_;
    BusFactory makeBus_;
    std::unique_ptr<LibFtdiD2xx> api_;
    std::string loadError_;
};
