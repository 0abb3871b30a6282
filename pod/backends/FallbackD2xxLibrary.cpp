#include "FallbackD2xxLibrary.h"

#include <utility>

FallbackD2xxLibrary::FallbackD2xxLibrary(std::unique_ptr<D2xxLibrary> preferred,
                                         std::unique_ptr<D2xxLibrary> fallback)
    : preferred_(std::move(preferred)), fallback_(std::move(fallback)) {}

D2xxApi* FallbackD2xxLibrary::Load() {
    if (chosen_) {
        return chosen_->Load();
    }
    for (D2xxLibrary* candidate : {preferred_.get(), fallback_.get()}) {
        if (!candidate) {
            continue;
        }
        if (D2xxApi* api = candidate->Load()) {
            chosen_ = candidate;
            return api;
        }
    }
    return nullptr;
}

void FallbackD2xxLibrary::Free() {
    if (chosen_) {
        chosen_->Free();
    }
}

const char* FallbackD2xxLibrary::Name() const {
    return chosen_ ? chosen_->Name() : preferred_->Name();
}

std::string FallbackD2xxLibrary::LastError() const {
    if (chosen_) {
        return chosen_->LastError();
    }
    std::string reasons;
    for (const D2xxLibrary* candidate : {preferred_.get(), fallback_.get()}) {
        if (candidate && !candidate->LastError().empty()) {
            reasons += (reasons.empty() ? "" : "; ") + std::string(candidate->Name()) + ": " +
                       candidate->LastError();
        }
    }
    return reasons;
}
