#pragma once

#include <string>
#include <vector>

struct CliOptions;

// The files a pod command reads (the S-record file, the job file) and writes (the trace, the
// log, the simulated pods' state, the serial counter and its lock), checked before anything
// is written. The files it replaces are written to temporary files of unique names, which
// no other file can be.

// A file by what it is to the command ("--trace", "the serial counter's lock").
struct NamedFile {
    std::string role;
    std::string path;
};

// Empty when no file the command writes is a file it reads or another file it writes, each
// compared as the file its path finally names; otherwise the refusal, in words for the user.
// `alsoWritten` are files the run writes that its options do not name (the station
// database's spool).
std::string FileClash(const CliOptions& options, const std::vector<NamedFile>& alsoWritten = {});

// Empty when the simulated pods' state can be kept where --sim-state says: its folder exists
// and may be written. Otherwise the refusal.
std::string StateFolderProblem(const CliOptions& options);
