#pragma once

#include <cstdint>
#include <string>
#include <vector>

// One key of a job file as the file writes it, before it meets its option.
struct JobFileSetting {
    // What the value is: a TOML file's own types; an INI file's values are all Text (a list
    // there is Text with several values), a key without "=" Bare.
    enum class Type { Text, Integer, Boolean, Float, Date, Array, Table, Bare };

    std::string file;
    std::uint32_t line = 0;
    std::string section;  // the [section] it stands under (dots join nested ones); "" at the top
    std::string key;
    Type type = Type::Text;
    // Text, Integer, Boolean: the one value as text ("807", "true"); Array: each item that is
    // a string; an INI list: each item.
    std::vector<std::string> values;
    bool allStrings = true;  // Array: no item of another type
    bool toml = false;  // read as TOML: its faults name the line
    // INI: the value as written, and whether it stood in quotes.
    std::string written;
    bool quoted = false;
};

// What one job file says, or the first thing wrong with its text.
struct JobFileReading {
    std::vector<JobFileSetting> settings;
    std::string fault;  // names the file, the line and the key where it can
};

// "in the job file FILE: " or "in the job file FILE, line N: ", which every fault starts with.
std::string JobFilePlace(const std::string& file, std::uint32_t line);
// The setting's type as a refusal names it: "a string", "an integer", "a table" ...
const char* TypeName(JobFileSetting::Type type);
// The whole file, without a UTF-8 byte-order mark at its start (Windows editors write one);
// false when it cannot be read.
bool ReadJobFileText(const std::string& path, std::string& text);
