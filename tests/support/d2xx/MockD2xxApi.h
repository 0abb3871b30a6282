#pragma once

#include <gmock/gmock.h>

#include "D2xxDouble.h"

// Records the D2XX calls that reach a device, to check what a layer passes through.
class MockD2xxApi : public D2xxDouble {
public:
    MOCK_METHOD(FT_STATUS, FT_ListDevices, (void*, void*, std::uint32_t), (override));
    MOCK_METHOD(FT_STATUS, FT_OpenEx, (void*, std::uint32_t, FT_HANDLE*), (override));
    MOCK_METHOD(FT_STATUS, FT_ResetDevice, (FT_HANDLE), (override));
    MOCK_METHOD(FT_STATUS, FT_GetLatencyTimer, (FT_HANDLE, std::uint8_t*), (override));
    MOCK_METHOD(FT_STATUS, FT_SetLatencyTimer, (FT_HANDLE, std::uint8_t), (override));
    MOCK_METHOD(FT_STATUS, FT_SetBaudRate, (FT_HANDLE, std::uint32_t), (override));
    MOCK_METHOD(FT_STATUS, FT_SetDataCharacteristics,
                (FT_HANDLE, std::uint8_t, std::uint8_t, std::uint8_t), (override));
    MOCK_METHOD(FT_STATUS, FT_SetFlowControl,
                (FT_HANDLE, std::uint16_t, std::uint8_t, std::uint8_t), (override));
    MOCK_METHOD(FT_STATUS, FT_SetTimeouts, (FT_HANDLE, std::uint32_t, std::uint32_t), (override));
    MOCK_METHOD(FT_STATUS, FT_Purge, (FT_HANDLE, std::uint32_t), (override));
    MOCK_METHOD(FT_STATUS, FT_Close, (FT_HANDLE), (override));
    MOCK_METHOD(FT_STATUS, FT_Write, (FT_HANDLE, const void*, std::uint32_t, std::uint32_t*),
                (override));
    MOCK_METHOD(FT_STATUS, FT_Read, (FT_HANDLE, void*, std::uint32_t, std::uint32_t*), (override));
    MOCK_METHOD(FT_STATUS, FT_GetStatus,
                (FT_HANDLE, std::uint32_t*, std::uint32_t*, std::uint32_t*), (override));
    MOCK_METHOD(FT_STATUS, FT_GetQueueStatus, (FT_HANDLE, std::uint32_t*), (override));
};
