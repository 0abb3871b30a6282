#include "LibFtdiLibrary.h"

#include <utility>

#include "LibFtdiBus.h"
#include "LibFtdiD2xx.h"

LibFtdiLibrary::LibFtdiLibrary(Clock& clock)
    : LibFtdiLibrary(clock, [](std::string& error) -> std::unique_ptr<FtdiBus> {
          return LibFtdiBus::Create(error);
      }) {}

LibFtdiLibrary::LibFtdiLibrary(Clock& clock, BusFactory makeBus)
    : clock_(clock), makeBus_(std::move(makeBus)) {}

LibFtdiLibrary::~LibFtdiLibrary() = default;

D2xxApi* LibFtdiLibrary::Load() {
    if (api_) {
        return api_.get();
    }
    loadError_.clear();
    std::unique_ptr<FtdiBus> bus = makeBus_(loadError_);
    if (!bus) {
        if (loadError_.empty()) {
            loadError_ = "USB is not available";
        }
        return nullptr;
    }
    api_ = std::make_unique<LibFtdiD2xx>(std::move(bus), clock_);
    return api_.get();
}

bool LibFtdiLibrary::DeviceGone() const {
    return api_ && api_->DeviceGone();
}

std::string LibFtdiLibrary::LastError() const {
    return api_ ? api_->LastError() : loadError_;
}
