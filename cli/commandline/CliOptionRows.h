#pragma once

#include "OptionTable.h"

// The rows of the options that commands take, beside the global ones; each command lists
// those it takes.
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
