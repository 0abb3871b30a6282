#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "CUsbPod.h"
#include "Clock.h"
#include "RecordingDisplays.h"
#include "SFileImage.h"
#include "ScriptedD2xx.h"
#include "ScriptedLibrary.h"
#include "WireTrace.h"

struct TraceLines : WireTrace {
    void Line(const std::string& line) override { lines.push_back(line); }
    std::vector<std::string> lines;
};

// A driver over the scripted device in virtual time, with recording displays, a wire
// trace and an image to fill.
class UsbPodFixture : public ::testing::Test {
protected:
    UsbPodFixture() {
        pod.SetIndicators(displays.status, displays.progress, displays.messageWindow);
        pod.SetLeds(displays.leds[0], displays.leds[1], displays.leds[2], displays.leds[3]);
        pod.SetWireTrace(&trace);
    }

    // Loads, finds and opens the pod, then forgets everything that happened so far.
    void OpenPod() {
        ASSERT_TRUE(pod.LoadDriverLibrary());
        ASSERT_TRUE(pod.FindPod());
        ASSERT_EQ(pod.Open(), kPodOpenOk);
        device.ClearRecords();
        trace.lines.clear();
        displays.log.clear();
    }

    void UseCpu(CpuType cpu) {
        image.cpu = cpu;
        image.ApplyCpuMemoryMap();
        image.ClearImage();
    }

    // Loads first..last of a region as a file would, wordCount already the span.
    void Fill(MemoryRegion region, std::uint32_t first, std::uint32_t last,
              const std::function<std::uint16_t(std::uint32_t)>& word = DefaultWord) {
        RegionImage& words = image.Region(region);
        const std::uint32_t start = image.Area(region).start;
        for (std::uint32_t a = first; a <= last; ++a) {
            words.words[a - start] = word(a);
        }
        words.minAddress = static_cast<std::uint16_t>(first);
        words.maxAddress = static_cast<std::uint16_t>(last);
        words.wordCount = static_cast<std::uint16_t>(last - first + 1);
        words.loaded = true;
    }

    static std::uint16_t DefaultWord(std::uint32_t address) {
        return static_cast<std::uint16_t>(address * 7 + 0x1234);
    }

    std::uint64_t NowMs() const { return clock.NowUs() / 1000; }

    // Frames that start with letter.
    std::vector<std::string> FramesOf(char letter) const {
        std::vector<std::string> found;
        for (const std::string& frame : device.Frames()) {
            if (!frame.empty() && frame[0] == letter) {
                found.push_back(frame);
            }
        }
        return found;
    }

    // Byte sizes of the T batches, in order.
    std::vector<std::size_t> BatchSizes() const {
        std::vector<std::size_t> sizes;
        for (const auto& bytes : device.writes) {
            if (bytes.size() > 1 && bytes[1] == 'T') {
                sizes.push_back(bytes.size());
            }
        }
        return sizes;
    }

    VirtualClock clock;
    ScriptedD2xx device{clock};
    ScriptedLibrary library{device};
    SFileImage image;
    RecordingDisplays displays;
    TraceLines trace;
    CUsbPod pod{library, clock, image};  // last: destroyed first, while the rest still lives
};
