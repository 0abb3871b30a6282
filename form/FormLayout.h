#pragma once

#include <cstdint>
#include <span>

// The controls of the programmer form and where they sit, in dialog units of the form's font
// (Arial 9 pt). The form builds its children from this one table, in its order, which is also
// the stacking and tab order: group boxes come first so that the controls they frame lie
// above them.
namespace FormLayout {

inline constexpr int kFormWidthDu = 411;
inline constexpr int kFormHeightDu = 388;

// The controls the form reaches by id; static texts and group boxes have none.
enum ControlId : int {
    kNoId = -1,
    kRegionList = 1000,
    kHexDisplay = 1001,
    kCpuSelection = 1002,
    kPathBox = 1003,
    kBrowse = 1004,
    kFileLoad = 1005,
    kMessageWindow = 1006,
    kBufferCaption = 1007,
    kMessageCaption = 1008,
    kTargetWrite = 1009,
    kTargetWriteVerify = 1010,
    kTargetVerify = 1011,
    kStatusLabel = 1012,
    kProgressBar = 1013,
    kTargetReset = 1014,
    kTimeLabel = 1015,
    kEraseAllBoot = 1016,
    kResetAfterWrite = 1017,
    kPodWrite = 1018,
    kPodVerify = 1019,
    kLed1 = 1020,
    kLed2 = 1021,
    kLed3 = 1022,
    kLed4 = 1023,
};

enum class ControlKind : std::uint8_t {
    GroupBox,
    Label,
    DropDownList,      // fixed entries
    EditableDropDown,  // typed text or an entry of the list
    CheckBox,
    PushButton,  // flat
    StatusLabel,
    Led,
    ProgressBar,
    SectionLabel,
    MessageWindow,
    RegionList,
    HexDisplay,
};

struct FormControl {
    int id;
    ControlKind kind;
    const char* caption;  // as the toolkit takes it: "&&" shows one ampersand on a button
    int x, y, w, h;       // dialog units; a drop-down's height includes its open list
};

// Height of a drop-down box while it is closed, in dialog units.
inline constexpr int kClosedDropDownHeightDu = 12;

std::span<const FormControl> Controls();

// The table's entry for an id, or null.
const FormControl* Find(int id);

}  // namespace FormLayout
