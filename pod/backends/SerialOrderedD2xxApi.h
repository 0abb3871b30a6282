#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "ForwardingD2xxApi.h"

// Another library's calls, with the devices listed in the order of their serial numbers
// (byte by byte; devices whose serial number cannot be read come last, as enumerated). USB
// enumerates in no order a user can see or rely on, and the first pod, the pods of a run on
// several and the board ids handed out with them follow the list: sorted, "the first pod"
// and "in pod order" mean the same on every machine and after every replug.
class SerialOrderedD2xxApi final : public ForwardingD2xxApi {
public:
    explicit SerialOrderedD2xxApi(D2xxApi& inner) : ForwardingD2xxApi(inner) {}

    // FT_LIST_NUMBER_ONLY lists the devices afresh and sorts them; FT_LIST_BY_INDEX takes
    // an index into that order.
    FT_STATUS FT_ListDevices(void* arg1, void* arg2, std::uint32_t flags) override;
    // By description: the first device of that description in this order, as a library
    // that lists in this order would open it.
    FT_STATUS FT_OpenEx(void* arg, std::uint32_t flags, FT_HANDLE* handle) override;

private:
    // Counts the devices and sorts their indices; the inner call's status.
    FT_STATUS Sort(std::uint32_t& count);
    // The serial number of the first device in this order described so; empty when none is,
    // or it has none.
    std::string FirstSerialDescribed(const char* description);

    std::vector<std::uint32_t> order_;  // sorted position -> the inner library's index
    bool sorted_ = false;
};
