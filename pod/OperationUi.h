#pragma once

#include "PodDisplays.h"

// What a front end lends the operation commands: its displays and its busy state.
class OperationUi {
public:
    virtual ~OperationUi() = default;
    virtual MessageDisplay& Messages() = 0;
    virtual StatusDisplay& Status() = 0;
    virtual ProgressDisplay& Progress() = 0;
    virtual LedDisplay& Led(int index) = 0;  // 0..3 for LED 1..4
    // Busy: operation controls disabled and the wait cursor shown; idle undoes both.
    virtual void SetBusy(bool busy) = 0;
};
