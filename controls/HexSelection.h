#pragma once

#include <QPoint>
#include <QString>
#include <cstdint>
#include <vector>

#include "HexLayout.h"

// The hex view's mouse selection: a run of whole words between the word where the drag began
// and the word under the mouse. Positions are byte indices of a word's first byte.
class HexSelection {
public:
    // A press starts a drag without selecting anything yet.
    void Start(std::uint32_t word);
    // The mouse moved during a drag; true when what is selected changed.
    bool Extend(std::uint32_t word);
    void Clear() { active_ = false; }
    bool Active() const { return active_; }

    // The selected bytes [first, last] on a row, or false when none lie there.
    bool OnRow(const HexLayout& layout, std::uint32_t length, std::uint32_t row,
               std::uint32_t& first, std::uint32_t& last) const;

    // The selection as the view shows it, one line per row: the address of the row's first
    // selected word, the words, and their characters, each when its column is shown.
    QString Text(const HexLayout& layout, const std::vector<std::uint8_t>& data,
                 std::uint32_t baseAddress, std::uint32_t addressDigits) const;

    // The word under a viewport point: left of the words the row's first, right of them
    // its last; above and below the view the first and last row in view.
    static std::uint32_t WordAt(const HexLayout& layout, QPoint pos, std::uint32_t topRow,
                                std::uint32_t horzOffset, std::uint32_t length);

private:
    std::uint32_t anchor_ = 0;
    std::uint32_t end_ = 0;
    bool active_ = false;
};
