#pragma once

#include <cstdint>
#include <string>

// The serial counter a production line shares: a small text file holding the next number.
// Taking a number reads it and writes the number after it back (to a new file that replaces
// the old one, flushed to disk) under an exclusive lock on FILE.lock. Stations sharing the
// file therefore never get the same number, and a number once taken is never handed out
// again, whatever then becomes of the board or the station.
//
// False with the reason, and nothing taken, when the file cannot be read or written, holds
// no number, or holds one above `largest`.
bool TakeSerialNumber(const std::string& path, std::uint64_t largest, std::uint64_t& number,
                      std::string& error);

// A decimal number of at most 19 digits, nothing else but surrounding blanks.
bool ParseSerialNumber(const std::string& text, std::uint64_t& number);
