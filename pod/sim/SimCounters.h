#pragma once

#include <cstdint>

// How often the host called into the simulated pod, for assertions.
struct SimCounters {
    int calls = 0;  // every FT_ call, failed ones included
    int listDevices = 0;
    int opens = 0;  // successful FT_OpenEx
    int closes = 0;
    int resets = 0;
    int latencyReads = 0;
    int latencySets = 0;
    int purges = 0;
    std::uint32_t lastPurgeMask = 0;
    int writes = 0;
    int reads = 0;
    int statusPolls = 0;  // FT_GetStatus
    int queuePolls = 0;   // FT_GetQueueStatus
    int tBatches = 0;     // writes that carried T frames
    int malformedFrames = 0;
};
