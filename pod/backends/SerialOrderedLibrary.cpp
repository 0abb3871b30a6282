#include "SerialOrderedLibrary.h"

D2xxApi* SerialOrderedLibrary::Load() {
    D2xxApi* api = inner_->Load();
    if (api == nullptr) {
        return nullptr;
    }
    // The wrapped calls stay valid while this object lives, as the inner library's do.
    if (api != innerApi_) {
        innerApi_ = api;
        api_.emplace(*api);
    }
    return &*api_;
}
