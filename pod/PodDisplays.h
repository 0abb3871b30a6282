#pragma once

#include <cstdint>

// The displays the pod driver and the command logic report through. The window's widgets,
// the command line and the tests implement them. Colours are 0x00BBGGRR.

inline constexpr std::uint32_t kColourRed = 0x0000FF;    // failure
inline constexpr std::uint32_t kColourGreen = 0x008000;  // success
inline constexpr std::uint32_t kColourBlue = 0xFF0000;   // refused request or heading

inline constexpr std::uint32_t kLedNormalLit = 0x00FF00;
inline constexpr std::uint32_t kLedNormalUnlit = 0x005500;
inline constexpr std::uint32_t kLedFailedLit = 0x0000FF;
inline constexpr std::uint32_t kLedFailedUnlit = 0x000080;

class StatusDisplay {
public:
    virtual ~StatusDisplay() = default;
    // Stores the text; it shows at the next repaint.
    virtual void SetText(const char* text) = 0;
    // Synchronous repaint: the stored text is visible when this returns.
    virtual void RepaintNow() = 0;
};

class ProgressDisplay {
public:
    virtual ~ProgressDisplay() = default;
    virtual void SetRange(std::int32_t lower, std::int32_t upper) = 0;
    // Returns the previous position (-1 when the display has no window yet).
    virtual std::int32_t SetPos(std::int32_t position) = 0;
};

class MessageDisplay {
public:
    virtual ~MessageDisplay() = default;
    virtual void AddMessage(const char* text, std::uint32_t colour) = 0;
};

class LedDisplay {
public:
    virtual ~LedDisplay() = default;
    virtual void SetActive(bool lit) = 0;
    virtual void SetActiveColor(std::uint32_t colour) = 0;
    virtual void SetInactiveColor(std::uint32_t colour) = 0;
    virtual void RepaintNow() = 0;
};
