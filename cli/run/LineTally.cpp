#include "run/LineTally.h"

namespace {

std::string Records(int count, const char* fate) {
    return "; " + std::to_string(count) + (count == 1 ? " record " : " records ") + fate;
}

}  // namespace

void LineTally::Count(bool passed, RecordFate fate) {
    ++(passed ? passed_ : failed_);
    spooled_ += fate == RecordFate::Spooled ? 1 : 0;
    lost_ += fate == RecordFate::Lost ? 1 : 0;
}

std::string LineTally::Text() const {
    std::string text =
        "boards: " + std::to_string(passed_) + " passed, " + std::to_string(failed_) + " failed";
    if (spooled_ > 0) {
        text += Records(spooled_, "spooled");
    }
    if (lost_ > 0) {
        text += Records(lost_, "lost");
    }
    return text;
}
