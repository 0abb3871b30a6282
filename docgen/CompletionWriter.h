#pragma once

#include <string>

#include "ProgramUsage.h"

// Shell completion scripts: commands, options, the values an option takes (CPU and region
// names, the serial numbers of the attached pods, files) and S-record files (*.s, *.S) as
// operands. podLister is the program whose "list" names the pods.
std::string BashCompletion(const ProgramUsage& usage, const ValueChoices& choices,
                           const std::string& podLister);
std::string FishCompletion(const ProgramUsage& usage, const ValueChoices& choices,
                           const std::string& podLister);
