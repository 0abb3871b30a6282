#pragma once

#include <memory>
#include <optional>
#include <string>

#include "D2xxLibrary.h"
#include "SerialOrderedD2xxApi.h"

// Another library whose devices are listed in the order of their serial numbers
// (SerialOrderedD2xxApi); everything else is the other library's.
class SerialOrderedLibrary final : public D2xxLibrary {
public:
    explicit SerialOrderedLibrary(std::unique_ptr<D2xxLibrary> inner) : inner_(std::move(inner)) {}

    D2xxApi* Load() override;
    void Free() override { inner_->Free(); }
    const char* Name() const override { return inner_->Name(); }
    std::string LastError() const override { return inner_->LastError(); }
    bool DeviceGone() const override { return inner_->DeviceGone(); }

private:
    std::unique_ptr<D2xxLibrary> inner_;
    D2xxApi* innerApi_ = nullptr;
    std::optional<SerialOrderedD2xxApi> api_;
};
