#pragma once

#include "D2xxApi.h"
#include "SharedLibrary.h"

// Points the test D2XX library (a shared library with the vendor's entry points) at a
// device for the life of this object. Mapping the file here too keeps one instance of the
// library, shared with the backend that maps it by the same path.
class TestD2xxAttachment {
public:
    TestD2xxAttachment(const char* path, D2xxApi& device) {
        if (module_.Open(path)) {
            attach_ = reinterpret_cast<Attach>(module_.Symbol("VantixTestD2xxAttach"));
        }
        if (attach_) {
            attach_(&device);
        }
    }
    ~TestD2xxAttachment() {
        if (attach_) {
            attach_(nullptr);
        }
    }
    TestD2xxAttachment(const TestD2xxAttachment&) = delete;
    TestD2xxAttachment& operator=(const TestD2xxAttachment&) = delete;

    bool Attached() const { return attach_ != nullptr; }

private:
    using Attach = void (*)(D2xxApi*);
    SharedLibrary module_;
    Attach attach_ = nullptr;
};
