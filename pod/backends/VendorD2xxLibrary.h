#pragma once

#include <memory>
#include <string>
#include <vector>

#include "D2xxLibrary.h"
#include "SharedLibrary.h"

class VendorD2xxApi;

// The USB chip vendor's D2XX library, mapped at run time. Every entry point the driver
// uses must resolve, or the library is unmapped again and Load() reports the missing ones.
class VendorD2xxLibrary final : public D2xxLibrary {
public:
    // The platform's file names: "Ftd2xx.dll" on Windows; libftd2xx.so, then its major
    // version name, elsewhere.
    VendorD2xxLibrary();
    // The file names to try in order (bare names or paths).
    explicit VendorD2xxLibrary(std::vector<std::string> fileNames);
    ~VendorD2xxLibrary() override;

    static std::vector<std::string> DefaultFileNames();

    D2xxApi* Load() override;
    // The calls handed out stay valid until this object is destroyed: the pod driver may
    // still close its device after giving the library back, as it does on shut-down.
    void Free() override;
    const char* Name() const override { return "vendor D2XX"; }
    std::string LastError() const override { return lastError_; }

private:
    bool TryFile(const std::string& fileName);

    std::vector<std::string> fileNames_;
    SharedLibrary module_;
    // Declared after the module so that the calls (which close open handles) go first.
    std::unique_ptr<VendorD2xxApi> api_;
    std::string lastError_;
};
