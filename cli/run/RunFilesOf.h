#pragma once

#include "station/StationFiles.h"

struct CliOptions;

// The files the command line has the command read and write: the simulated pods' state only
// when they are simulated, the log unless the command is list (which writes none), the
// serial counter only when write or write-verify puts a number into the image.
RunFiles RunFilesOf(const CliOptions& options);
