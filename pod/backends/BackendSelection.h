#pragma once

#include <memory>
#include <string>
#include <vector>

#include "D2xxLibrary.h"
#include "sim/SimFill.h"

class Clock;
class SimulatedPod;

// How the program reaches the pod.
struct BackendOptions {
    // The simulated pod instead of USB ("--simulate").
    bool simulate = false;
    // The simulated pod takes the time a real one would. Without it the pod runs in
    // virtual time, which needs the driver's clock to be a VirtualClock; with any other
    // clock the simulated pod keeps real time.
    bool simRealtime = false;
    // The simulated pod's target memory and EEPROM from an earlier run ("" for a fresh
    // pod; a file that does not exist yet is a fresh pod too).
    std::string simStatePath;
    // What a new simulated pod holds: used only when there is no state file to read.
    SimFill simFill;
    // The vendor library's file names to try; empty for the platform's own.
    std::vector<std::string> vendorLibraryFiles;
};

// What MakeD2xxBackend made.
struct D2xxBackend {
    // Null only when the simulated pod's state file could not be read (see error).
    std::unique_ptr<D2xxLibrary> library;
    // The simulated pod, owned by the library; null for USB. The caller saves its state
    // with SaveState(simStatePath) when the run is over.
    SimulatedPod* simulatedPod = nullptr;
    std::string error;
};

// The simulated pod when asked for; otherwise the vendor's D2XX library when it is
// installed, else libftdi1 (in builds that have it). The clock is the driver's: the
// libftdi1 backend times its reads on it.
D2xxBackend MakeD2xxBackend(const BackendOptions& options, Clock& clock);
