#pragma once

#include <atomic>
#include <optional>
#include <string>

#include "D2xxLibrary.h"
#include "run/InterruptibleD2xxApi.h"

// Hands the driver the calls of another library, wrapped so that Ctrl+C fails them.
class InterruptibleD2xxLibrary final : public D2xxLibrary {
public:
    InterruptibleD2xxLibrary(D2xxLibrary& inner, const std::atomic<bool>& interrupted);

    D2xxApi* Load() override;
    // The wrapped calls stay valid until this object goes, as the driver may still close
    // its device after giving the library back.
    void Free() override { inner_.Free(); }
    const char* Name() const override { return inner_.Name(); }
    std::string LastError() const override { return inner_.LastError(); }
    bool DeviceGone() const override { return inner_.DeviceGone(); }

private:
    D2xxLibrary& inner_;
    const std::atomic<bool>& interrupted_;
    std::optional<InterruptibleD2xxApi> api_;
};
