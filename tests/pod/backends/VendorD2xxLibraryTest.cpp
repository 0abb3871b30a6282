// The vendor-library backend against a stand-in library with the vendor's entry points,
// mapped through the same dlopen path as the real libftd2xx.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#ifndef _WIN32
#include <dlfcn.h>
#endif

#include "MockD2xxApi.h"
#include "TestD2xxAttachment.h"
#include "VendorD2xxLibrary.h"
#include "TestPaths.h"

using testing::_;
using testing::DoAll;
using testing::HasSubstr;
using testing::Return;
using testing::SetArgPointee;
using testing::StrictMock;

namespace {

bool StillMapped(const char* path) {
#ifdef _WIN32
    (void)path;
    return false;
#else
    void* handle = dlopen(path, RTLD_NOW | RTLD_NOLOAD);
    if (handle) {
        dlclose(handle);
    }
    return handle != nullptr;
#endif
}

TEST(VendorLibraryLoad, MissingFilesFailWithEveryReason) {
    VendorD2xxLibrary library({"/nonexistent/libftd2xx.so", "/nonexistent/libftd2xx.so.1"});
    EXPECT_EQ(library.Load(), nullptr);
    EXPECT_THAT(library.LastError(), HasSubstr("/nonexistent/libftd2xx.so:"));
    EXPECT_THAT(library.LastError(), HasSubstr("; /nonexistent/libftd2xx.so.1:"));
    EXPECT_STREQ(library.Name(), "vendor D2XX");
}

TEST(VendorLibraryLoad, LibraryLackingAnEntryPointIsUnmappedAgain) {
    ASSERT_FALSE(StillMapped(VANTIX_TEST_D2XX_PARTIAL_LIBRARY));
    VendorD2xxLibrary library({VANTIX_TEST_D2XX_PARTIAL_LIBRARY});
    EXPECT_EQ(library.Load(), nullptr);
    EXPECT_THAT(library.LastError(), HasSubstr("lacks the entry point(s) FT_GetQueueStatus"));
    EXPECT_FALSE(StillMapped(VANTIX_TEST_D2XX_PARTIAL_LIBRARY));
}

TEST(VendorLibraryLoad, NextNameIsTriedAfterAnIncompleteLibrary) {
    VendorD2xxLibrary library({VANTIX_TEST_D2XX_PARTIAL_LIBRARY, VANTIX_TEST_D2XX_LIBRARY});
    EXPECT_NE(library.Load(), nullptr);
    EXPECT_EQ(library.LastError(), "");
}

// Calls through the loaded library reach the attached device with their arguments, and
// what the device reports comes back through the vendor's types.
class VendorLibraryCalls : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(attachment.Attached());
        api = library->Load();
        ASSERT_NE(api, nullptr) << library->LastError();
    }

    StrictMock<MockD2xxApi> device;
    TestD2xxAttachment attachment{VANTIX_TEST_D2XX_LIBRARY, device};
    std::unique_ptr<VendorD2xxLibrary> library =
        std::make_unique<VendorD2xxLibrary>(std::vector<std::string>{VANTIX_TEST_D2XX_LIBRARY});
    D2xxApi* api = nullptr;
    FT_HANDLE handle = reinterpret_cast<FT_HANDLE>(std::uintptr_t{0x5150});
};

TEST_F(VendorLibraryCalls, ListingPassesCountIndexAndBuffer) {
    EXPECT_CALL(device, FT_ListDevices(_, nullptr, FT_LIST_NUMBER_ONLY))
        .WillOnce([](void* count, void*, std::uint32_t) {
            *static_cast<std::uint32_t*>(count) = 3;
            return FT_OK;
        });
    std::uint32_t count = 0;
    EXPECT_EQ(api->FT_ListDevices(&count, nullptr, FT_LIST_NUMBER_ONLY), FT_OK);
    EXPECT_EQ(count, 3u);

    char description[kFtDescriptionSize] = {};
    void* index = reinterpret_cast<void*>(std::uintptr_t{2});
    EXPECT_CALL(device,
                FT_ListDevices(index, description, FT_LIST_BY_INDEX | FT_OPEN_BY_DESCRIPTION))
        .WillOnce([](void*, void* buffer, std::uint32_t) {
            std::strcpy(static_cast<char*>(buffer), "USB POD");
            return FT_OK;
        });
    EXPECT_EQ(api->FT_ListDevices(index, description, FT_LIST_BY_INDEX | FT_OPEN_BY_DESCRIPTION),
              FT_OK);
    EXPECT_STREQ(description, "USB POD");
}

TEST_F(VendorLibraryCalls, OpenConfigureAndCloseReachTheDevice) {
    char name[] = "USB POD";
    EXPECT_CALL(device, FT_OpenEx(name, FT_OPEN_BY_DESCRIPTION, _))
        .WillOnce(DoAll(SetArgPointee<2>(handle), Return(FT_OK)));
    EXPECT_CALL(device, FT_ResetDevice(handle)).WillOnce(Return(FT_OK));
    EXPECT_CALL(device, FT_GetLatencyTimer(handle, _))
        .WillOnce(DoAll(SetArgPointee<1>(std::uint8_t{16}), Return(FT_OK)));
    EXPECT_CALL(device, FT_SetLatencyTimer(handle, 1)).WillOnce(Return(FT_OK));
    EXPECT_CALL(device, FT_SetBaudRate(handle, 921600u)).WillOnce(Return(FT_OK));
    EXPECT_CALL(device, FT_SetDataCharacteristics(handle, 8, 0, 0)).WillOnce(Return(FT_OK));
    EXPECT_CALL(device, FT_SetFlowControl(handle, 0x0400, 0x11, 0x13)).WillOnce(Return(FT_OK));
    EXPECT_CALL(device, FT_SetTimeouts(handle, 200u, 300u)).WillOnce(Return(FT_OK));
    EXPECT_CALL(device, FT_Purge(handle, 3u)).WillOnce(Return(FT_OK));
    EXPECT_CALL(device, FT_Close(handle)).WillOnce(Return(FT_OK));

    FT_HANDLE opened = nullptr;
    ASSERT_EQ(api->FT_OpenEx(name, FT_OPEN_BY_DESCRIPTION, &opened), FT_OK);
    EXPECT_EQ(opened, handle);
    EXPECT_EQ(api->FT_ResetDevice(handle), FT_OK);
    std::uint8_t latency = 0;
    EXPECT_EQ(api->FT_GetLatencyTimer(handle, &latency), FT_OK);
    EXPECT_EQ(latency, 16);
    EXPECT_EQ(api->FT_SetLatencyTimer(handle, 1), FT_OK);
    EXPECT_EQ(api->FT_SetBaudRate(handle, 921600), FT_OK);
    EXPECT_EQ(api->FT_SetDataCharacteristics(handle, FT_BITS_8, FT_STOP_BITS_1, FT_PARITY_NONE),
              FT_OK);
    EXPECT_EQ(api->FT_SetFlowControl(handle, 0x0400, 0x11, 0x13), FT_OK);
    EXPECT_EQ(api->FT_SetTimeouts(handle, 200, 300), FT_OK);
    EXPECT_EQ(api->FT_Purge(handle, FT_PURGE_RX | FT_PURGE_TX), FT_OK);
    EXPECT_EQ(api->FT_Close(handle), FT_OK);
}

TEST_F(VendorLibraryCalls, TransfersAndQueueCountsComeBackThroughTheVendorTypes) {
    const char frame[] = "\x02I\x03";
    EXPECT_CALL(device, FT_Write(handle, frame, 3u, _))
        .WillOnce(DoAll(SetArgPointee<3>(3u), Return(FT_OK)));
    EXPECT_CALL(device, FT_Read(handle, _, 28u, _))
        .WillOnce(DoAll(SetArgPointee<3>(10u), Return(FT_OK)));
    EXPECT_CALL(device, FT_GetStatus(handle, _, _, _))
        .WillOnce(
            DoAll(SetArgPointee<1>(5u), SetArgPointee<2>(7u), SetArgPointee<3>(1u), Return(FT_OK)));
    EXPECT_CALL(device, FT_GetQueueStatus(handle, _))
        .WillOnce(DoAll(SetArgPointee<1>(0xFFFFFFFFu), Return(FT_OK)));

    std::uint32_t written = 0;
    EXPECT_EQ(api->FT_Write(handle, frame, 3, &written), FT_OK);
    EXPECT_EQ(written, 3u);
    std::uint8_t reply[28];
    std::uint32_t received = 0;
    EXPECT_EQ(api->FT_Read(handle, reply, 28, &received), FT_OK);
    EXPECT_EQ(received, 10u);
    std::uint32_t rx = 0, tx = 0, events = 0;
    EXPECT_EQ(api->FT_GetStatus(handle, &rx, &tx, &events), FT_OK);
    EXPECT_EQ(rx, 5u);
    EXPECT_EQ(tx, 7u);
    EXPECT_EQ(events, 1u);
    // All 32 bits survive the vendor's double word.
    EXPECT_EQ(api->FT_GetQueueStatus(handle, &rx), FT_OK);
    EXPECT_EQ(rx, 0xFFFFFFFFu);
}

TEST_F(VendorLibraryCalls, FailureStatusesPassThroughUnchanged) {
    EXPECT_CALL(device, FT_Read(handle, _, 1u, _)).WillOnce(Return(FT_IO_ERROR));
    EXPECT_CALL(device, FT_SetBaudRate(handle, 0u)).WillOnce(Return(FT_INVALID_BAUD_RATE));
    std::uint8_t byte = 0;
    std::uint32_t received = 99;
    EXPECT_EQ(api->FT_Read(handle, &byte, 1, &received), FT_IO_ERROR);
    EXPECT_EQ(api->FT_SetBaudRate(handle, 0), FT_INVALID_BAUD_RATE);
}

TEST_F(VendorLibraryCalls, CallsOutliveFreeAndAReload) {
    library->Free();
    EXPECT_EQ(library->Load(), api);
    EXPECT_CALL(device, FT_ResetDevice(handle)).WillOnce(Return(FT_OK));
    EXPECT_EQ(api->FT_ResetDevice(handle), FT_OK);
}

TEST_F(VendorLibraryCalls, HandlesLeftOpenAreClosedWhenTheLibraryGoes) {
    char name[] = "USB POD";
    EXPECT_CALL(device, FT_OpenEx(name, FT_OPEN_BY_DESCRIPTION, _))
        .WillOnce(DoAll(SetArgPointee<2>(handle), Return(FT_OK)));
    FT_HANDLE opened = nullptr;
    ASSERT_EQ(api->FT_OpenEx(name, FT_OPEN_BY_DESCRIPTION, &opened), FT_OK);

    EXPECT_CALL(device, FT_Purge(handle, 3u)).WillOnce(Return(FT_OK));
    EXPECT_CALL(device, FT_Close(handle)).WillOnce(Return(FT_OK));
    library.reset();
}

}  // namespace
