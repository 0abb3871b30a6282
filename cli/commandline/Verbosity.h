#pragma once

// How much a run prints on stderr (--quiet, --verbose).
enum class CliVerbosity { Quiet, Normal, Verbose };
