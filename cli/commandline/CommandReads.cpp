#include "commandline/CommandReads.h"

#include <initializer_list>

#include "commandline/CliOptionRows.h"
#include "commandline/CliOptions.h"
#include "commandline/GangOptions.h"
#include "commandline/ImageFileOptions.h"
#include "commandline/OptionReader.h"
#include "commandline/SerialOptions.h"
#include "commandline/TargetOptions.h"

namespace {

using Reader = std::string (*)(const OptionReader&, CliOptions&);

std::string FirstRefusal(const OptionReader& reader, CliOptions& options,
                         std::initializer_list<Reader> readers) {
    for (const Reader read : readers) {
        if (std::string refusal = read(reader, options); !refusal.empty()) {
            return refusal;
        }
    }
    return {};
}

}  // namespace

std::string ReadTargetWriteOptions(const OptionReader& reader, CliOptions& options) {
    options.json = reader.Flag(kJsonRow, false);
    options.strict = reader.Flag(kStrictRow, false);
    options.eraseAllBoot = reader.Flag(kEraseAllBootRow, true);
    options.resetAfter = reader.Flag(kResetAfterRow, false);
    options.repeat = reader.Flag(kRepeatRow, false);
    options.onlyChanged = reader.Flag(kOnlyChangedRow, false);
    return FirstRefusal(
        reader, options,
        {ReadImageFile, ReadRegionList, ReadSerialOptions, ReadPodsOption, ReadExpectedImage});
}

std::string ReadVerifyOptions(const OptionReader& reader, CliOptions& options) {
    options.json = reader.Flag(kJsonRow, false);
    options.strict = reader.Flag(kStrictRow, false);
    options.resetAfter = reader.Flag(kResetAfterRow, false);
    options.repeat = reader.Flag(kRepeatRow, false);
    return FirstRefusal(
        reader, options,
        {ReadImageFile, ReadRegionList, ReadSerialOptions, ReadPodsOption, ReadExpectedImage});
}
