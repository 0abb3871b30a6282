// Every backend lists its devices in the order of their serial numbers, and "the first pod"
// is the first in that order, however the bus enumerates them.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "MockD2xxApi.h"
#include "SerialOrderedD2xxApi.h"

using testing::_;
using testing::Invoke;
using testing::Return;

namespace {

// (description, serial) in the bus's order; a serial of "?" cannot be read.
const std::vector<std::pair<std::string, std::string>> kBus = {
    {"USB POD", "VEMU0003"}, {"USB POD", "VEMU0010"}, {"FT232R USB UART", "AB0CDEF1"},
    {"USB POD", "?"},        {"USB POD", "VEMU0001"}, {"USB POD", ""},
};

void ListTheBus(MockD2xxApi& bus) {
    ON_CALL(bus, FT_ListDevices(_, _, _))
        .WillByDefault(Invoke([](void* arg1, void* arg2, std::uint32_t flags) -> FT_STATUS {
            if (flags & FT_LIST_NUMBER_ONLY) {
                *static_cast<std::uint32_t*>(arg1) = static_cast<std::uint32_t>(kBus.size());
                return FT_OK;
            }
            const auto index = reinterpret_cast<std::uintptr_t>(arg1);
            if (index >= kBus.size()) {
                return FT_DEVICE_NOT_FOUND;
            }
            const auto& [description, serial] = kBus[index];
            if ((flags & FT_OPEN_BY_SERIAL_NUMBER) && serial == "?") {
                return FT_DEVICE_NOT_OPENED;
            }
            const std::string& text = (flags & FT_OPEN_BY_SERIAL_NUMBER) ? serial : description;
            std::strcpy(static_cast<char*>(arg2), text.c_str());
            return FT_OK;
        }));
}

// An FT_OpenEx argument that is this text.
auto Text(const std::string& text) {
    return testing::Truly([text](void* arg) { return static_cast<const char*>(arg) == text; });
}

std::string Listed(D2xxApi& api, std::uint32_t index, std::uint32_t which) {
    char text[kFtDescriptionSize + 1] = {};
    const FT_STATUS status =
        api.FT_ListDevices(reinterpret_cast<void*>(static_cast<std::uintptr_t>(index)), text,
                           FT_LIST_BY_INDEX | which);
    return status == FT_OK ? text : "?";
}

TEST(SerialOrder, DevicesAreListedByTheirSerialNumbers) {
    testing::NiceMock<MockD2xxApi> bus;
    ListTheBus(bus);
    SerialOrderedD2xxApi api(bus);
    std::uint32_t count = 0;
    ASSERT_EQ(api.FT_ListDevices(&count, nullptr, FT_LIST_NUMBER_ONLY), FT_OK);
    ASSERT_EQ(count, kBus.size());
    std::vector<std::string> serials;
    std::vector<std::string> descriptions;
    for (std::uint32_t i = 0; i < count; ++i) {
        serials.push_back(Listed(api, i, FT_OPEN_BY_SERIAL_NUMBER));
        descriptions.push_back(Listed(api, i, FT_OPEN_BY_DESCRIPTION));
    }
    // Byte by byte; the devices without a serial number that can be read come last, in the
    // bus's order.
    EXPECT_EQ(serials,
              (std::vector<std::string>{"AB0CDEF1", "VEMU0001", "VEMU0003", "VEMU0010", "?", ""}));
    EXPECT_EQ(descriptions[0], "FT232R USB UART");
    EXPECT_EQ(Listed(api, 6, FT_OPEN_BY_DESCRIPTION), "?") << "beyond the list";
}

TEST(SerialOrder, OpeningByDescriptionTakesTheFirstInThatOrder) {
    testing::NiceMock<MockD2xxApi> bus;
    ListTheBus(bus);
    SerialOrderedD2xxApi api(bus);
    FT_HANDLE handle = nullptr;
    EXPECT_CALL(bus, FT_OpenEx(Text("VEMU0001"), FT_OPEN_BY_SERIAL_NUMBER, &handle))
        .WillOnce(Return(FT_OK));
    EXPECT_EQ(api.FT_OpenEx(const_cast<char*>("USB POD"), FT_OPEN_BY_DESCRIPTION, &handle), FT_OK);
    // A device of no listed description, or one opened by serial number, is the bus's
    // business.
    EXPECT_CALL(bus, FT_OpenEx(Text("USB POD2"), FT_OPEN_BY_DESCRIPTION, &handle))
        .WillOnce(Return(FT_DEVICE_NOT_FOUND));
    EXPECT_EQ(api.FT_OpenEx(const_cast<char*>("USB POD2"), FT_OPEN_BY_DESCRIPTION, &handle),
              FT_DEVICE_NOT_FOUND);
    EXPECT_CALL(bus, FT_OpenEx(Text("VEMU0010"), FT_OPEN_BY_SERIAL_NUMBER, &handle))
        .WillOnce(Return(FT_OK));
    EXPECT_EQ(api.FT_OpenEx(const_cast<char*>("VEMU0010"), FT_OPEN_BY_SERIAL_NUMBER, &handle),
              FT_OK);
}

}  // namespace
