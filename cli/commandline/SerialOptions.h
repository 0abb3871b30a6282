#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "OptionTable.h"
#include "commandline/OptionValues.h"

class OptionReader;

// Where each board's serial number goes in the image (--serial-at, --serial-words), and
// whether it may replace words the file fills (--serial-overwrite).
struct SerialPlace {
    SerialAddress at;
    int words = 1;
    bool overwrite = false;
};

// A number for each board (write, write-verify): from a counter file shared by the stations,
// from this run's count, or from the station database's series; exactly one of them.
struct SerialNumbering {
    SerialPlace place;
    std::optional<std::string> counter;  // --serial-counter FILE
    std::optional<std::uint64_t> start;  // --serial-start N
    std::optional<std::string> series;   // --serial-series NAME
};

// The number the board holds (verify --serial-value).
struct SerialCheck {
    SerialPlace place;
    std::uint64_t value = 0;
};

// Reads the serial options and checks that they go together: each needs --serial-at; a
// number for each board comes from --serial-counter, --serial-series or --serial-start, one
// of them; verify checks one --serial-value; a number fits the serial's width. The first
// refusal, or empty when they are sound (and `numbering` or `check` empty without
// --serial-at). What needs the image (where the address lies, which words the file fills) is
// checked once the file is loaded.
std::string ReadSerialNumbering(const OptionReader& reader,
                                std::optional<SerialNumbering>& numbering);
std::string ReadSerialCheck(const OptionReader& reader, std::optional<SerialCheck>& check);

// "serial number 65536 does not fit 16 bits (--serial-words 1)"
std::string SerialTooLargeText(std::uint64_t number, int words);
// The largest serial number of that many words.
std::uint64_t LargestSerial(int words);

// The refusal of a command that programs with the pod's one stored image (pod-write,
// pod-verify) for a serial option given to it; empty for any other option.
std::string PodSerialRefusal(std::string_view command, std::string_view option);

// The rows of the serial options.
extern const OptionInfo kSerialAtRow;
extern const OptionInfo kSerialWordsRow;
extern const OptionInfo kSerialOverwriteRow;
extern const OptionInfo kSerialCounterRow;
extern const OptionInfo kSerialSeriesRow;
extern const OptionInfo kSerialStartRow;
extern const OptionInfo kSerialValueRow;
