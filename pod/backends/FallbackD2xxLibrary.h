#pragma once

#include <memory>
#include <string>

#include "D2xxLibrary.h"

// The first of two libraries that loads: the vendor's D2XX library when it is installed,
// libftdi1 otherwise. The choice is made on the first successful Load() and kept.
class FallbackD2xxLibrary final : public D2xxLibrary {
public:
    // The fallback may be null (builds without libftdi1).
    FallbackD2xxLibrary(std::unique_ptr<D2xxLibrary> preferred,
                        std::unique_ptr<D2xxLibrary> fallback);

    D2xxApi* Load() override;
    void Free() override;
    // The chosen library's name; before a choice, the preferred one's.
    const char* Name() const override;
    // The chosen library's last error; before a choice, why each one failed to load.
    std::string LastError() const override;
    bool DeviceGone() const override { return chosen_ != nullptr && chosen_->DeviceGone(); }

private:
    std::unique_ptr<D2xxLibrary> preferred_;
    std::unique_ptr<D2xxLibrary> fallback_;
    D2xxLibrary* chosen_ = nullptr;
};
