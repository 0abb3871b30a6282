#include "SerialOrderedD2xxApi.h"

#include <algorithm>
#include <string>
#include <utility>

namespace {

void* IndexArgument(std::uint32_t index) {
    return reinterpret_cast<void*>(static_cast<std::uintptr_t>(index));
}

}  // namespace

FT_STATUS SerialOrderedD2xxApi::Sort(std::uint32_t& count) {
    order_.clear();
    sorted_ = false;
    const FT_STATUS status = Inner().FT_ListDevices(&count, nullptr, FT_LIST_NUMBER_ONLY);
    if (status != FT_OK) {
        return status;
    }
    // (no serial number, the serial number, the inner index): the last keeps ties stable.
    std::vector<std::pair<std::pair<bool, std::string>, std::uint32_t>> keys;
    for (std::uint32_t index = 0; index < count; ++index) {
        char serial[kFtDescriptionSize + 1] = {};
        const bool read =
            Inner().FT_ListDevices(IndexArgument(index), serial,
                                   FT_LIST_BY_INDEX | FT_OPEN_BY_SERIAL_NUMBER) == FT_OK;
        serial[kFtDescriptionSize] = '\0';
        keys.push_back({{!read || serial[0] == '\0', read ? serial : ""}, index});
    }
    std::sort(keys.begin(), keys.end());
    for (const auto& key : keys) {
        order_.push_back(key.second);
    }
    sorted_ = true;
    return FT_OK;
}

std::string SerialOrderedD2xxApi::FirstSerialDescribed(const char* description) {
    std::uint32_t count = 0;
    if (Sort(count) != FT_OK) {
        return {};
    }
    for (const std::uint32_t index : order_) {
        char text[kFtDescriptionSize + 1] = {};
        if (Inner().FT_ListDevices(IndexArgument(index), text,
                                   FT_LIST_BY_INDEX | FT_OPEN_BY_DESCRIPTION) != FT_OK) {
            continue;
        }
        text[kFtDescriptionSize] = '\0';
        if (std::string(text) != description) {
            continue;
        }
        char serial[kFtDescriptionSize + 1] = {};
        const FT_STATUS read = Inner().FT_ListDevices(IndexArgument(index), serial,
                                                      FT_LIST_BY_INDEX | FT_OPEN_BY_SERIAL_NUMBER);
        serial[kFtDescriptionSize] = '\0';
        return read == FT_OK ? serial : "";
    }
    return {};
}

FT_STATUS SerialOrderedD2xxApi::FT_OpenEx(void* arg, std::uint32_t flags, FT_HANDLE* handle) {
    if (arg != nullptr && flags == FT_OPEN_BY_DESCRIPTION) {
        std::string serial = FirstSerialDescribed(static_cast<const char*>(arg));
        if (!serial.empty()) {
            return Inner().FT_OpenEx(serial.data(), FT_OPEN_BY_SERIAL_NUMBER, handle);
        }
    }
    return Inner().FT_OpenEx(arg, flags, handle);
}

FT_STATUS SerialOrderedD2xxApi::FT_ListDevices(void* arg1, void* arg2, std::uint32_t flags) {
    if (flags & FT_LIST_NUMBER_ONLY) {
        if (!arg1) {
            return FT_INVALID_PARAMETER;
        }
        std::uint32_t count = 0;
        const FT_STATUS status = Sort(count);
        *static_cast<std::uint32_t*>(arg1) = status == FT_OK ? count : 0;
        return status;
    }
    if (flags & FT_LIST_BY_INDEX) {
        // An index refers to the last count; a caller that never asked for one gets a
        // fresh one.
        std::uint32_t count = 0;
        if (!sorted_) {
            if (const FT_STATUS status = Sort(count); status != FT_OK) {
                return status;
            }
        }
        const auto index = static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(arg1));
        const std::uint32_t inner = index < order_.size() ? order_[index] : index;
        return Inner().FT_ListDevices(IndexArgument(inner), arg2, flags);
    }
    return Inner().FT_ListDevices(arg1, arg2, flags);
}
