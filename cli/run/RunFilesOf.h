#pragma once

#include "station/StationFiles.h"

struct BoardCommand;
struct GlobalOptions;

// The files the command line has the command read and write: the simulated pods' state only
// when they are simulated, the log only for a command that keeps records (list writes none),
// the serial counter only when the command takes numbers from it.
RunFiles RunFilesOf(const GlobalOptions& globals, const BoardCommand& board);
