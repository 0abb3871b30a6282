#include "SimFrameParser.h"

#include <array>

namespace {

struct FieldLayout {
    char letter;
    std::array<int, SimFrame::kMaxFields> widths;
    int count;
};

// Field widths in hex digits, per command character.
constexpr std::array<FieldLayout, 18> kLayouts = {{
    {'I', {}, 0},
    {'R', {}, 0},
    {'G', {1}, 1},
    {'M', {1, 4}, 2},
    {'X', {2, 4, 4}, 3},
    {'S', {}, 0},
    {'T', {4}, 1},
    {'W', {2, 4, 4, 4, 4, 4}, 6},
    {'P', {4}, 1},
    {'V', {4}, 1},
    {'K', {}, 0},
    {'N', {1, 4, 4}, 3},
    {'Q', {1, 4, 4}, 3},
    {'Y', {1, 4, 4, 4}, 4},
    {'Z', {1, 1}, 2},
    {'?', {}, 0},
    {'O', {}, 0},
    {'L', {}, 0},
}};

const FieldLayout* LayoutFor(char letter) {
    for (const FieldLayout& layout : kLayouts) {
        if (layout.letter == letter) {
            return &layout;
        }
    }
    return nullptr;
}

// Upper-case hex only: the host formats with %X, so a lower-case digit is a corrupted byte.
int HexDigit(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

}  // namespace

SimFrameParser::Result SimFrameParser::Feed(std::uint8_t byte) {
    if (byte == SimFrame::kStx) {
        // A new start while a frame is open: the open one was cut short.
        Result cut = inFrame_ ? Malformed() : Result{};
        inFrame_ = true;
        overflow_ = false;
        body_.clear();
        return cut;
    }
    if (!inFrame_) {
        return {};
    }
    if (byte == SimFrame::kEtx) {
        inFrame_ = false;
        if (overflow_) {
            return Malformed();
        }
        std::optional<SimFrame> frame = Decode(body_);
        if (!frame) {
            return Malformed();
        }
        Result result;
        result.kind = Kind::Frame;
        result.frame = std::move(*frame);
        return result;
    }
    if (body_.size() < kMaxBody) {
        body_.push_back(static_cast<char>(byte));
    } else {
        overflow_ = true;
    }
    return {};
}

void SimFrameParser::Reset() {
    inFrame_ = false;
    overflow_ = false;
    body_.clear();
}

SimFrameParser::Result SimFrameParser::Malformed() {
    Result result;
    result.kind = Kind::Malformed;
    result.letter = body_.empty() ? 0 : body_.front();
    result.text = body_;
    return result;
}

std::optional<SimFrame> SimFrameParser::Decode(std::string_view body) {
    if (body.empty()) {
        return std::nullopt;
    }
    const FieldLayout* layout = LayoutFor(body.front());
    if (layout == nullptr) {
        return std::nullopt;
    }
    std::size_t expected = 1;
    for (int i = 0; i < layout->count; ++i) {
        expected += static_cast<std::size_t>(layout->widths[static_cast<std::size_t>(i)]);
    }
    if (body.size() != expected) {
        return std::nullopt;
    }
    SimFrame frame;
    frame.letter = body.front();
    frame.fieldCount = layout->count;
    frame.text = std::string(body);
    std::size_t pos = 1;
    for (int i = 0; i < layout->count; ++i) {
        std::uint32_t value = 0;
        for (int d = 0; d < layout->widths[static_cast<std::size_t>(i)]; ++d) {
            const int digit = HexDigit(body[pos++]);
            if (digit < 0) {
                return std::nullopt;
            }
            value = value * 16 + static_cast<std::uint32_t>(digit);
        }
        frame.fields[static_cast<std::size_t>(i)] = value;
    }
    return frame;
}
