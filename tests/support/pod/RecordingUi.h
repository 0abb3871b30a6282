#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "PodDisplays.h"
#include "ProgrammerCommands.h"

// An OperationUi that remembers what a person would have seen.
class RecordingUi final : public OperationUi {
public:
    struct LedRecord final : LedDisplay {
        bool lit = false;
        std::uint32_t litColour = 0;
        std::uint32_t unlitColour = 0;
        int repaints = 0;
        void SetActive(bool on) override { lit = on; }
        void SetActiveColor(std::uint32_t c) override { litColour = c; }
        void SetInactiveColor(std::uint32_t c) override { unlitColour = c; }
        void RepaintNow() override { ++repaints; }
    };
    struct MessageRecord final : MessageDisplay {
        std::vector<std::pair<std::string, std::uint32_t>> lines;
        void AddMessage(const char* text, std::uint32_t colour) override {
            lines.emplace_back(text, colour);
        }
    };
    struct StatusRecord final : StatusDisplay {
        std::string text = "Current Status";
        std::string shown = "Current Status";
        std::vector<std::string> history;  // every text that was repainted
        void SetText(const char* t) override { text = t; }
        void RepaintNow() override {
            shown = text;
            history.push_back(text);
        }
    };
    struct ProgressRecord final : ProgressDisplay {
        std::int32_t lower = 0, upper = 100, position = 0;
        void SetRange(std::int32_t l, std::int32_t u) override { lower = l, upper = u; }
        std::int32_t SetPos(std::int32_t p) override { return std::exchange(position, p); }
    };

    MessageDisplay& Messages() override { return messages; }
    StatusDisplay& Status() override { return status; }
    ProgressDisplay& Progress() override { return progress; }
    LedDisplay& Led(int index) override { return leds[static_cast<std::size_t>(index)]; }
    void SetBusy(bool b) override {
        busy = b;
        busyChanges.push_back(b);
    }

    // "1111" all lit, "1R00" first lit, second red, the rest dark.
    std::string LedPattern() const {
        std::string out;
        for (const auto& led : leds) {
            out += !led.lit ? '0' : led.litColour == kLedFailedLit ? 'R' : '1';
        }
        return out;
    }

    MessageRecord messages;
    StatusRecord status;
    ProgressRecord progress;
    std::array<LedRecord, 4> leds;
    bool busy = false;
    std::vector<bool> busyChanges;
};
