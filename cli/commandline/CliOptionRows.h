#pragma once

#include <span>
#include <string_view>

#include "OptionTable.h"

// The rows of the options that commands take, beside the global ones; each names the
// commands that take it.
extern const OptionInfo kCpuRow;
extern const OptionInfo kRegionRow;
extern const OptionInfo kRegionsRow;
extern const OptionInfo kEraseAllBootRow;
extern const OptionInfo kResetAfterRow;
extern const OptionInfo kOnlyChangedRow;
extern const OptionInfo kJsonRow;
extern const OptionInfo kRepeatRow;
extern const OptionInfo kPodsRow;
extern const OptionInfo kSerialAtRow;
extern const OptionInfo kSerialWordsRow;
extern const OptionInfo kSerialOverwriteRow;
extern const OptionInfo kSerialCounterRow;
extern const OptionInfo kSerialSeriesRow;
extern const OptionInfo kSerialStartRow;
extern const OptionInfo kSerialValueRow;
extern const OptionInfo kStartRow;
extern const OptionInfo kHtmlRow;
extern const OptionInfo kCsvRow;
extern const OptionInfo kSinceRow;
extern const OptionInfo kUntilRow;
extern const OptionInfo kImageRow;
extern const OptionInfo kExpectSha256Row;
extern const OptionInfo kStrictRow;

// Every command's option, in the table's order.
std::span<const OptionInfo* const> CliCommandRows();
// The vantix-cli option of that long name, global or a command's, or null.
const OptionInfo* FindCliOption(std::string_view longName);
