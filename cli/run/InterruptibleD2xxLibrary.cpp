#include "run/InterruptibleD2xxLibrary.h"

InterruptibleD2xxLibrary::InterruptibleD2xxLibrary(D2xxLibrary& inner,
                                                   const std::atomic<bool>& interrupted)
    : inner_(inner), interrupted_(interrupted) {}

D2xxApi* InterruptibleD2xxLibrary::Load() {
    D2xxApi* calls = inner_.Load();
    if (calls == nullptr) {
        return nullptr;
    }
    api_.emplace(*calls, interrupted_);
    return &*api_;
}
