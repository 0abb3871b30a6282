#pragma once

#include <string>

#include "CliOptions.h"

// The usage texts of the tool and of each command, each with an example.
std::string ToolHelp();
std::string CommandHelp(CliCommand command);

// The udev rule that lets a logged-in user open the pod without root.
std::string UdevRule();
