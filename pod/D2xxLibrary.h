#pragma once

#include <string>

#include "D2xxApi.h"

// Where the D2XX calls come from: the vendor library loaded at run time, libftdi1, or the
// simulated pod. LoadDriverLibrary asks it for the calls; FreeDriverLibrary gives them back.
class D2xxLibrary {
public:
    virtual ~D2xxLibrary() = default;
    // The calls, or null when the library is not available (LastError says why).
    virtual D2xxApi* Load() = 0;
    virtual void Free() = 0;
    // Short name for logs: "vendor D2XX", "libftdi1", "simulated pod".
    virtual const char* Name() const = 0;
    virtual std::string LastError() const { return {}; }
    // Whether the device of the last failed call has gone from the bus (unplugged), as
    // opposed to failing or not answering while attached.
    virtual bool DeviceGone() const { return false; }
};
