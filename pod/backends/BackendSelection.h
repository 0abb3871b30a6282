#pragma once

#include <memory>
#include <string>
#include <vector>

#include "D2xxLibrary.h"
#include "sim/SimFill.h"

class Clock;
class SimulatedPod;
class SimulatedPodRack;

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
    // Several simulated pods with serial numbers VSIM0001 up ("--sim-pods N"); each keeps
    // its own state, in simStatePath + "." + its serial number. 0: the one pod of
    // "--simulate", whose state is simStatePath itself.
    int simPods = 0;
    // The vendor library's file names to try; empty for the platform's own.
    std::vector<std::string> vendorLibraryFiles;
};

// What MakeD2xxBackend made. A backend, its library and its simulated pods take no locks and
// keep no state outside this object (libftdi1: a libusb context of its own), so a run on
// several pods at once makes one per pod, each used by that pod's thread alone (with
// --sim-pods each holds every simulated pod, but opens, and so saves, only its own).
struct D2xxBackend {
    // Null only when the simulated pod's state file could not be read (see error).
    std::unique_ptr<D2xxLibrary> library;
    // The simulated pod, owned by the library; null for USB. The caller saves its state
    // with SaveState(simStatePath) when the run is over.
    SimulatedPod* simulatedPod = nullptr;
    // The simulated pods when there are several ("--sim-pods"), owned by the library.
    SimulatedPodRack* simulatedRack = nullptr;
    std::string error;
};

// The state file of the simulated pod with this serial number, under the options.
std::string SimulatedStatePath(const BackendOptions& options, const std::string& serial);
// Saves the state of every simulated pod this run may have changed: the single pod, or each
// pod of a rack that was opened (another process may be working on the others). True when
// there is nothing to save.
bool SaveSimulatedStates(const D2xxBackend& backend, const BackendOptions& options,
                         std::string& error);

// The simulated pod when asked for; otherwise the vendor's D2XX library when it is
// installed, else libftdi1 (in builds that have it). The clock is the driver's: the
// libftdi1 backend times its reads on it. The devices are listed in the order of their
// serial numbers, whichever backend it is.
D2xxBackend MakeD2xxBackend(const BackendOptions& options, Clock& clock);
