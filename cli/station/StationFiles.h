#pragma once

#include <string>

struct CliOptions;

// The files a pod command reads (the S-record file, the job file) and writes (the trace, the
// log, the simulated pods' state, the serial counter), checked before anything is written.

// Empty when no file the command writes is a file it reads or another file it writes, each
// compared as the file its path finally names; otherwise the refusal, in words for the user.
std::string FileClash(const CliOptions& options);

// Empty when the simulated pods' state can be kept where --sim-state says: its folder exists
// and may be written. Otherwise the refusal.
std::string StateFolderProblem(const CliOptions& options);
