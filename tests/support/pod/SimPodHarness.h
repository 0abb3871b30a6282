#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "Clock.h"
#include "sim/SimulatedPod.h"

// Drives the simulated pod with raw bytes in virtual time, as a host would. The pod starts
// erased, so each test states the cells it relies on.
class SimPodHarness {
public:
    VirtualClock clock;
    SimulatedPod pod{clock, SimPace::Instant, SimFill::Erased()};
    FT_HANDLE handle = nullptr;

    static std::string Frame(const std::string& body) { return "\x02" + body + "\x03"; }

    static std::string Hex(const char* format, unsigned a, unsigned b = 0, unsigned c = 0,
                           unsigned d = 0, unsigned e = 0, unsigned f = 0) {
        char text[64];
        std::snprintf(text, sizeof text, format, a, b, c, d, e, f);
        return text;
    }

    // Opens the device and sets the line as the pod needs it: 921600 baud, 8N1, no flow
    // control, 200 ms time-outs, latency 1.
    bool Open(const char* description = "USB POD") {
        if (pod.FT_OpenEx(const_cast<char*>(description), FT_OPEN_BY_DESCRIPTION, &handle) !=
            FT_OK) {
            return false;
        }
        return pod.FT_SetBaudRate(handle, 921600) == FT_OK &&
               pod.FT_SetDataCharacteristics(handle, FT_BITS_8, FT_STOP_BITS_1, FT_PARITY_NONE) ==
                   FT_OK &&
               pod.FT_SetFlowControl(handle, FT_FLOW_NONE, 0, 0) == FT_OK &&
               pod.FT_SetTimeouts(handle, 200, 200) == FT_OK &&
               pod.FT_SetLatencyTimer(handle, 1) == FT_OK;
    }

    FT_STATUS Write(const std::string& bytes) {
        std::uint32_t written = 0;
        return pod.FT_Write(handle, bytes.data(), static_cast<std::uint32_t>(bytes.size()),
                            &written);
    }

    // Reads up to n bytes with the device read time-out.
    std::string Read(std::uint32_t n = 1) {
        std::string out(n, '\0');
        std::uint32_t got = 0;
        pod.FT_Read(handle, out.data(), n, &got);
        out.resize(got);
        return out;
    }

    // One command frame and its reply ("" for silence).
    std::string Command(const std::string& body, std::uint32_t replyBytes = 1) {
        Write(Frame(body));
        return Read(replyBytes);
    }

    std::uint32_t Queued() {
        std::uint32_t n = 0;
        pod.FT_GetQueueStatus(handle, &n);
        return n;
    }

    // S, then the words as T frames, 50 to a write with a look at the queue after each, as
    // the host sends them.
    void Stream(const std::vector<std::uint16_t>& words) {
        Write(Frame("S"));
        std::string batch;
        for (std::size_t i = 0; i < words.size(); ++i) {
            batch += Frame(Hex("T%04X", words[i]));
            if (i % 50 == 49 || i + 1 == words.size()) {
                Write(batch);
                Queued();
                batch.clear();
            }
        }
    }

    static std::uint16_t Sum(const std::vector<std::uint16_t>& words) {
        std::uint32_t sum = 0;
        for (const std::uint16_t w : words) {
            sum += w;
        }
        return static_cast<std::uint16_t>(sum);
    }

    // G 1 and M for the CPU; true when both were acknowledged.
    bool EnterProgramming(unsigned cpu, unsigned ramStart) {
        return Command("G1") == "!" && Command(Hex("M%X%04X", cpu, ramStart)) == "!";
    }

    // Streams the words and sends W; returns the reply.
    std::string WriteWords(unsigned code, unsigned start, const std::vector<std::uint16_t>& words,
                           unsigned ramStart, unsigned blockParameter = 0x0400) {
        Stream(words);
        return Command(Hex("W%02X%04X%04X%04X%04X%04X", code, start,
                           static_cast<unsigned>(words.size()), ramStart, Sum(words),
                           blockParameter));
    }
};
