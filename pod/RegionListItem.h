#pragma once

#include <string>

// One row of the region list as the commands read it: its first column and its tick.
struct RegionListItem {
    std::string name;
    bool ticked = false;
};
