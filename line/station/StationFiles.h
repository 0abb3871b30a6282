#pragma once

#include <optional>
#include <string>
#include <vector>

// The files a pod command reads (the S-record file, the job file) and writes (the trace, the
// log, the simulated pods' state, the serial counter and its lock), checked before anything
// is written. The files it replaces are written to temporary files of unique names, which
// no other file can be.

// The files a run's options name. Empty or absent: none.
struct RunFiles {
    std::optional<std::string> imageFile;  // the S-record file
    std::vector<std::string> jobFiles;     // --config
    std::string trace;                     // --trace
    std::string log;                       // --log, where the command appends to it
    // --sim-state and --sim-pods, where the pods are simulated.
    std::string simState;
    int simPods = 0;
    // --serial-counter, where the command takes a number from it.
    std::optional<std::string> serialCounter;
};

// A file by what it is to the command ("--trace", "the serial counter's lock").
struct NamedFile {
    std::string role;
    std::string path;
};

// Empty when no file the command writes is a file it reads or another file it writes, each
// compared as the file its path finally names; otherwise the refusal, in words for the user.
// `alsoWritten` are files the run writes that its options do not name (the station
// database's spool).
std::string FileClash(const RunFiles& files, const std::vector<NamedFile>& alsoWritten = {});

// Empty when the simulated pods' state can be kept where --sim-state says: its folder exists
// and may be written. Otherwise the refusal.
std::string StateFolderProblem(const RunFiles& files);
