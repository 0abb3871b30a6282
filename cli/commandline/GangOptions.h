#pragma once

#include <optional>
#include <string>
#include <vector>
#include "OptionTable.h"

class OptionReader;

// --pods: the pods by serial number; empty: every attached pod ("--pods all").
using PodList = std::vector<std::string>;

// Reads --pods ("all", or serial numbers separated by commas); --pod, a global option, does
// not go with it. The refusal, or empty when the value is sound.
std::string ReadPodsOption(const OptionReader& reader, std::optional<PodList>& pods);

// The row of --pods.
extern const OptionInfo kPodsRow;
