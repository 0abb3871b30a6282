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

    // What a correct host never sends. The pod refuses each as it refuses anything else (in
    // silence, or with "?" while words arrive) and counts it here.
    int linkRefusals = 0;         // writes over a link not at 921600 baud 8N1, no flow control,
                                  // 200 ms time-outs (silence: the pod hears nothing sound)
    int pageCrossings = 0;        // W, P or V block crossing a 256-word page (silence)
    int wholeBootPageFields = 0;  // X 06 whose page field is not 0000 (silence)
    int erasePagesOutside = 0;    // X whose page lies outside the region it names (silence)
    int oversizedBatches = 0;     // more than 50 T frames before a queue check ("?")
    int reusedWords = 0;          // W, P, V, N or Q on words a stream has used (silence)
    int eepromBlockOrder = 0;     // N not the next block of its region (silence)
    int eepromBlockSizes = 0;     // N whose count differs from the words sent (silence)
    int eepromExtents = 0;        // Y disagreeing with the blocks stored for it (silence)
    int imageInfoCodes = 0;       // Z with a CPU above 3 or an unknown option code (silence)

    int Refusals() const {
        return linkRefusals + pageCrossings + wholeBootPageFields + erasePagesOutside +
               oversizedBatches + reusedWords + eepromBlockOrder + eepromBlockSizes +
               eepromExtents + imageInfoCodes;
    }
};
