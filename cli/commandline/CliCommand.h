#pragma once

// The commands of vantix-cli; None before one is known.
enum class CliCommand {
    None,
    Info,
    Dump,
    Write,
    WriteVerify,
    Verify,
    Reset,
    PodWrite,
    PodVerify,
    PodInfo,
    List,
    Erase,
    BlankCheck,
    StationDb,
    Report,
    Help,
};
