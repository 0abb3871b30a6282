#pragma once

// Exit statuses of vantix-cli; scripts and production lines rely on these values. What each
// means for --help and the manual page stands beside the options, in OptionTable.
enum CliExit : int {
    kExitSuccess = 0,
    kExitFailed = 1,         // the operation ran and failed (result, reset after writing, reset)
    kExitInputError = 2,     // command line, file, image or refusal
    kExitUnreachable = 3,    // no driver library, no pod, the pod could not be opened
    kExitRecordLost = 4,     // the board ran, but its record or trace is incomplete
    kExitInterrupted = 130,  // Ctrl+C; SIGTERM gives 143 and SIGHUP 129 (128 + the signal)
};
