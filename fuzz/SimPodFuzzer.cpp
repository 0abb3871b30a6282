// The simulated pod fed any byte stream through FT_Write, with reads, queue polls, purges,
// re-opens and wrong line settings mixed in. The input is cut at 0xFF bytes; the byte after
// each cut picks an action, the rest up to the next cut is written. The pod must stay
// within its bounds: every frame it logs decodes back to itself, reads never deliver more
// than asked, queues and logs stay capped.
#include <cstddef>
#include <cstdint>
#include <string>

#include "Clock.h"
#include "FuzzCheck.h"
#include "sim/SimFrameParser.h"
#include "sim/SimLink.h"
#include "sim/SimulatedPod.h"

namespace {

constexpr std::uint8_t kCut = 0xFF;

bool OpenLikeTheHost(SimulatedPod& pod, FT_HANDLE& handle) {
    return pod.FT_OpenEx(const_cast<char*>("USB POD"), FT_OPEN_BY_DESCRIPTION, &handle) == FT_OK &&
           pod.FT_SetBaudRate(handle, 921600) == FT_OK &&
           pod.FT_SetDataCharacteristics(handle, FT_BITS_8, FT_STOP_BITS_1, FT_PARITY_NONE) ==
               FT_OK &&
           pod.FT_SetFlowControl(handle, FT_FLOW_NONE, 0, 0) == FT_OK &&
           pod.FT_SetLatencyTimer(handle, 1) == FT_OK &&
           pod.FT_SetTimeouts(handle, 200, 200) == FT_OK;
}

void CheckQueue(SimulatedPod& pod, FT_HANDLE handle) {
    std::uint32_t waiting = 0;
    FUZZ_CHECK(pod.FT_GetQueueStatus(handle, &waiting) == FT_OK);
    FUZZ_CHECK(waiting <= SimLink::kMaxQueued);
}

void Act(std::uint8_t action, SimulatedPod& pod, VirtualClock& clock, FT_HANDLE& handle) {
    switch (action % 8) {
        case 0:
        case 1: {
            std::uint8_t buffer[40];
            const std::uint32_t want = action % 2 == 0 ? 1u : 1u + action % 39u;
            std::uint32_t got = 0xFFFF;
            FUZZ_CHECK(pod.FT_Read(handle, buffer, want, &got) == FT_OK);
            FUZZ_CHECK(got <= want);
            break;
        }
        case 2:
            CheckQueue(pod, handle);
            break;
        case 3: {
            std::uint32_t rx = 0, tx = 0, events = 0;
            FUZZ_CHECK(pod.FT_GetStatus(handle, &rx, &tx, &events) == FT_OK);
            FUZZ_CHECK(rx <= SimLink::kMaxQueued);
            break;
        }
        case 4:
            FUZZ_CHECK(pod.FT_Purge(handle, FT_PURGE_RX | FT_PURGE_TX) == FT_OK);
            break;
        case 5:
            FUZZ_CHECK(pod.FT_Close(handle) == FT_OK);
            FUZZ_CHECK(!pod.IsOpen());
            FUZZ_CHECK(OpenLikeTheHost(pod, handle));
            break;
        case 6:
            // A line the pod cannot hear for one write's worth of bytes.
            FUZZ_CHECK(pod.FT_SetBaudRate(handle, action < 128 ? 9600 : 921600) == FT_OK);
            break;
        default:
            clock.AdvanceUs(std::uint64_t{action} * 1000);
            break;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    VirtualClock clock;
    SimulatedPod pod(clock);
    FT_HANDLE handle = nullptr;
    FUZZ_CHECK(OpenLikeTheHost(pod, handle));

    std::size_t i = 0;
    while (i < size) {
        std::size_t end = i;
        while (end < size && data[end] != kCut) {
            ++end;
        }
        if (end > i) {
            std::uint32_t written = 0;
            FUZZ_CHECK(pod.FT_Write(handle, data + i, static_cast<std::uint32_t>(end - i),
                                    &written) == FT_OK);
            FUZZ_CHECK(written == end - i);
            CheckQueue(pod, handle);
        }
        if (end + 1 < size) {
            Act(data[end + 1], pod, clock, handle);
            i = end + 2;
        } else {
            i = size;
        }
    }

    FUZZ_CHECK(pod.FrameLog().size() <= SimulatedPod::kMaxFrameLog);
    FUZZ_CHECK(pod.WrittenBytes().size() <= SimulatedPod::kMaxByteLog);
    FUZZ_CHECK(pod.Target().ProgramSpace().size() == SimTarget::kSpaceWords);
    FUZZ_CHECK(pod.Target().DataSpace().size() == SimTarget::kSpaceWords);
    for (const std::string& text : pod.FrameLog()) {
        if (text.rfind("!bad:", 0) == 0) {
            FUZZ_CHECK(text.size() <= 5 + SimFrameParser::kMaxBody);
            continue;
        }
        const auto frame = SimFrameParser::Decode(text);
        FUZZ_CHECK(frame.has_value());
        FUZZ_CHECK(frame->text == text);
        // Framed again, it parses to the same frame.
        SimFrameParser parser;
        parser.Feed(SimFrame::kStx);
        for (const char c : text) {
            FUZZ_CHECK(parser.Feed(static_cast<std::uint8_t>(c)).kind ==
                       SimFrameParser::Kind::None);
        }
        const SimFrameParser::Result again = parser.Feed(SimFrame::kEtx);
        FUZZ_CHECK(again.kind == SimFrameParser::Kind::Frame);
        FUZZ_CHECK(again.frame.fields == frame->fields);
    }
    // Closing drops whatever waits, and the pod can be opened again.
    FUZZ_CHECK(pod.FT_Close(handle) == FT_OK);
    FUZZ_CHECK(!pod.IsOpen());
    return 0;
}
