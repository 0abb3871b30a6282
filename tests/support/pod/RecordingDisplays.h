#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "PodDisplays.h"

// Displays that write every call into one shared log, so a test sees what the driver
// showed and in which order: "status PFLASH Writing...", "repaint", "range 0 33", "pos 16",
// "led2 active", "led2 colours FF/80", "led2 repaint".
class RecordingDisplays {
public:
    struct Status : StatusDisplay {
        explicit Status(RecordingDisplays& d) : d_(d) {}
        void SetText(const char* text) override {
            d_.statusText = text;
            d_.log.push_back(std::string("status ") + text);
        }
        void RepaintNow() override {
            d_.shownStatus = d_.statusText;
            d_.log.push_back("repaint");
        }
        RecordingDisplays& d_;
    };
    struct Progress : ProgressDisplay {
        explicit Progress(RecordingDisplays& d) : d_(d) {}
        void SetRange(std::int32_t lower, std::int32_t upper) override {
            d_.range = {lower, upper};
            d_.log.push_back("range " + std::to_string(lower) + " " + std::to_string(upper));
        }
        std::int32_t SetPos(std::int32_t position) override {
            const std::int32_t previous = d_.position;
            d_.position = position;
            d_.log.push_back("pos " + std::to_string(position));
            return previous;
        }
        RecordingDisplays& d_;
    };
    struct Messages : MessageDisplay {
        explicit Messages(RecordingDisplays& d) : d_(d) {}
        void AddMessage(const char* text, std::uint32_t colour) override {
            d_.messages.emplace_back(text, colour);
        }
        RecordingDisplays& d_;
    };
    struct Led : LedDisplay {
        Led(RecordingDisplays& d, int number) : d_(d), name_("led" + std::to_string(number)) {}
        void SetActive(bool lit) override {
            active = lit;
            d_.log.push_back(name_ + (lit ? " active" : " inactive"));
        }
        void SetActiveColor(std::uint32_t colour) override { activeColour = colour; }
        void SetInactiveColor(std::uint32_t colour) override { inactiveColour = colour; }
        void RepaintNow() override {
            ++repaints;
            d_.log.push_back(name_ + " repaint");
        }
        bool active = false;
        std::uint32_t activeColour = kLedNormalLit;
        std::uint32_t inactiveColour = kLedNormalUnlit;
        int repaints = 0;
        RecordingDisplays& d_;
        std::string name_;
    };

    std::vector<std::string> log;
    std::vector<std::pair<std::string, std::uint32_t>> messages;
    std::string statusText;
    std::string shownStatus;  // what the last repaint made visible
    std::pair<std::int32_t, std::int32_t> range{0, 0};
    std::int32_t position = 0;

    Status status{*this};
    Progress progress{*this};
    Messages messageWindow{*this};
    std::array<Led, 4> leds{Led{*this, 1}, Led{*this, 2}, Led{*this, 3}, Led{*this, 4}};

    // Entries of the log that start with prefix, in order.
    std::vector<std::string> Only(const std::string& prefix) const {
        std::vector<std::string> found;
        for (const std::string& entry : log) {
            if (entry.compare(0, prefix.size(), prefix) == 0) {
                found.push_back(entry);
            }
        }
        return found;
    }
    // Lit LEDs as a string: "1100" = LED 1 and 2 lit; "R" marks a lit LED in failure red.
    std::string LedPattern() const {
        std::string pattern;
        for (const Led& led : leds) {
            pattern += !led.active ? '0' : led.activeColour == kLedFailedLit ? 'R' : '1';
        }
        return pattern;
    }
};
