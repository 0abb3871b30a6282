#include "FormLayout.h"

namespace FormLayout {

namespace {

using K = ControlKind;

constexpr FormControl kControls[] = {
    {kNoId, K::GroupBox, "Programmer Action Environment Setting", 2, 2, 404, 31},
    {kNoId, K::Label, "CPU", 9, 15, 15, 12},
    {kCpuSelection, K::DropDownList, "", 29, 15, 63, 60},
    {kEraseAllBoot, K::CheckBox, "Erase All Boot Flash", 113, 15, 79, 12},
    {kResetAfterWrite, K::CheckBox, "Target Reset After Flash Writing", 213, 15, 117, 12},
    {kNoId, K::Label, "S File Path", 9, 36, 35, 14},
    {kPathBox, K::EditableDropDown, "", 55, 36, 324, 58},
    {kBrowse, K::PushButton, "...", 381, 36, 25, 12},
    {kNoId, K::Label, "S File Time", 9, 51, 41, 12},
    {kTimeLabel, K::Label, "Time", 55, 51, 324, 12},
    {kNoId, K::GroupBox, "", 2, 63, 404, 96},
    {kStatusLabel, K::StatusLabel, "Current Status", 9, 71, 320, 19},
    {kLed1, K::Led, "", 331, 73, 17, 16},
    {kLed2, K::Led, "", 349, 73, 17, 16},
    {kLed3, K::Led, "", 367, 73, 17, 16},
    {kLed4, K::Led, "", 385, 73, 17, 16},
    {kProgressBar, K::ProgressBar, "", 9, 93, 392, 19},
    {kFileLoad, K::PushButton, "File Load", 9, 114, 75, 19},
    {kPodWrite, K::PushButton, "POD Write", 89, 114, 75, 19},
    {kPodVerify, K::PushButton, "POD Verify", 169, 114, 75, 19},
    {kTargetReset, K::PushButton, "Target Reset", 9, 136, 75, 19},
    {kTargetWrite, K::PushButton, "Target Write", 89, 136, 75, 19},
    {kTargetWriteVerify, K::PushButton, "Target Write && Verify", 169, 136, 75, 19},
    {kTargetVerify, K::PushButton, "Target Verify", 249, 136, 75, 19},
    {kMessageCaption, K::SectionLabel, "Message Window", 3, 161, 404, 8},
    {kMessageWindow, K::MessageWindow, "", 3, 169, 405, 89},
    {kBufferCaption, K::SectionLabel, "Buffer Window", 3, 259, 405, 8},
    {kRegionList, K::RegionList, "", 2, 269, 181, 116},
    {kHexDisplay, K::HexDisplay, "", 185, 269, 223, 116},
};

}  // namespace

std::span<const FormControl> Controls() {
    return kControls;
}

const FormControl* Find(int id) {
    if (id == kNoId) {
        return nullptr;
    }
    for (const FormControl& control : Controls()) {
        if (control.id == id) {
            return &control;
        }
    }
    return nullptr;
}

}  // namespace FormLayout
