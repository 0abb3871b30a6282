#pragma once

#include <cstdint>
#include <string>
#include <vector>

class D2xxLibrary;

// One device as the D2XX calls list it.
struct AttachedDevice {
    std::uint32_t index = 0;
    std::string description;
    std::string serial;  // empty when the library lists none
    // Empty when the description was read; otherwise why not (e.g. a permission problem).
    std::string problem;
};

// Every device the library's calls list, in their order, for a "list" command. False with
// the reason when the library does not load or cannot count the devices.
bool ListAttachedDevices(D2xxLibrary& library, std::vector<AttachedDevice>& devices,
                         std::string& error);
