#include "commandline/JobFileSetting.h"

#include <fstream>
#include <iterator>

#include "Utf8Path.h"

std::string JobFilePlace(const std::string& file, std::uint32_t line) {
    return "in the job file " + file + (line != 0 ? ", line " + std::to_string(line) : "") + ": ";
}

const char* TypeName(JobFileSetting::Type type) {
    switch (type) {
        case JobFileSetting::Type::Text:
            return "a string";
        case JobFileSetting::Type::Integer:
            return "an integer";
        case JobFileSetting::Type::Boolean:
            return "a boolean";
        case JobFileSetting::Type::Float:
            return "a float";
        case JobFileSetting::Type::Date:
            return "a date or time";
        case JobFileSetting::Type::Array:
            return "an array";
        case JobFileSetting::Type::Table:
            return "a table";
        case JobFileSetting::Type::Bare:
            break;
    }
    return "no value";
}

bool ReadJobFileText(const std::string& path, std::string& text) {
    std::error_code error;
    if (std::filesystem::is_directory(Utf8Path(path), error)) {
        return false;
    }
    std::ifstream file(Utf8Path(path), std::ios::binary);
    if (!file) {
        return false;
    }
    text.assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
    if (file.bad()) {
        return false;
    }
    if (text.rfind("\xEF\xBB\xBF", 0) == 0) {
        text.erase(0, 3);
    }
    return true;
}
