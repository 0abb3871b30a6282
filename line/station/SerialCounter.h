#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "station/WaitNotice.h"

// The serial counter a production line shares: a small text file holding the next number.
// Taking a number reads it and writes the number after it back (to a new file that replaces
// the old one, flushed to disk) under an exclusive lock on FILE.lock. Stations sharing the
// file therefore never get the same number, and a number once taken is never handed out
// again, whatever then becomes of the board or the station.
//
// While another station holds the lock, waits as `notice` says ("waiting for the serial
// counter c.txt (locked by another process)…"). The lock it wins is checked to be the lock
// of the counter as the path now names it.
//
// `beforeMoving`, when given, runs with the number read and the lock held, before the counter
// moves past it: what it writes (the board's started entry) is thus on disk for every number
// ever taken. When it returns false, it has reported why; nothing is taken, and the result
// is false with an empty `error`.
//
// False with the reason, and nothing taken, when the file cannot be read or written, holds
// no number, or holds one above `largest`; false with `interrupted` set, and nothing taken,
// when the run was interrupted while it waited.
bool TakeSerialNumber(const std::string& path, std::uint64_t largest, std::uint64_t& number,
                      std::string& error, const WaitNotice& notice, bool& interrupted,
                      const std::function<bool(std::uint64_t)>& beforeMoving = {});

// A decimal number of at most 19 digits, nothing else but surrounding blanks.
bool ParseSerialNumber(const std::string& text, std::uint64_t& number);
