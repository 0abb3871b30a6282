#pragma once

#include <cstdint>
#include <optional>
#include <string>

// What a new simulated pod holds before its first command. A board off the shelf is rarely
// blank: by default the target carries old firmware (pseudo-random words from a seed) and the
// pod's EEPROM a stale image of another CPU, so a write that skips or misplaces an erase fails
// its verify as it would on a used board. Erased gives a blank target and a blank EEPROM.
struct SimFill {
    enum class Kind { Erased, Random, Word };

    static constexpr std::uint32_t kDefaultSeed = 0x56F807;

    Kind kind = Kind::Random;
    std::uint16_t word = 0xFFFF;  // Word: every flash cell of both spaces
    std::uint32_t seed = kDefaultSeed;

    static SimFill Erased() { return {Kind::Erased, 0xFFFF, kDefaultSeed}; }
    static SimFill Random(std::uint32_t seed = kDefaultSeed) { return {Kind::Random, 0, seed}; }
    static SimFill Every(std::uint16_t word) { return {Kind::Word, word, kDefaultSeed}; }

    // "erased", "random" or four hex digits (every word); nullopt for anything else.
    static std::optional<SimFill> Parse(const std::string& text);

    // The next word of a pseudo-random sequence (xorshift32); state must not be 0.
    static std::uint16_t NextWord(std::uint32_t& state) {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        return static_cast<std::uint16_t>(state >> 8);
    }
};
