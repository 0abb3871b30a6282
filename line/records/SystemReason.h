#pragma once

#include <string>

// Why a file cannot be opened for reading, as the system says it, in parentheses with a
// leading blank: " (No such file or directory)". Empty when the system names no reason.
std::string SystemReason(const std::string& path);
