// The window as its command-line table describes it; the files it uses are told here.
#include "ProgramUsage.h"
#include "WindowCommandLine.h"

ProgramUsage WindowUsage() {
    ProgramUsage usage;
    usage.name = WindowCommandLine::kProgram;
    usage.summary = "flash DSP56F801/803/805/807 controllers through the USB pod";
    usage.synopsis = std::string("[OPTIONS] [") + WindowCommandLine::kFileArgument + "]";
    usage.description = {
        "Opens the window that programs the flash memories of the Motorola DSP56F801,\n"
        "DSP56F803, DSP56F805 and DSP56F807 controllers through the USB programming pod.\n"
        "Pick the CPU, load a Motorola S-record file with \"File Load\", tick the flash regions\n"
        "in the buffer window and run \"Target Write\", \"Target Write & Verify\",\n"
        "\"Target Verify\" or \"Target Reset\"; \"POD Write\" stores the whole image in the\n"
        "pod's EEPROM, \"POD Verify\" compares it. The message window logs every outcome.",
        "Only one window runs at a time: a second start prints \"" +
            std::string(WindowCommandLine::kAlreadyRunning) +
            "\" and ends, leaving the\nrunning window untouched. A file dropped on the window "
            "is loaded as a FILE argument is.",
    };
    usage.operand = WindowCommandLine::kFileArgument;
    usage.operandDescription = WindowCommandLine::kFileDescription;
    usage.optionsHeading = "OPTIONS";
    for (const OptionInfo& option : OptionsOf(Program::Window)) {
        usage.options.push_back(UsageOf(option, option.description));
    }
    usage.exitStatuses = ExitStatusEntries(Program::Window);
    usage.files = {
        {"~/.config/Kelvora/Vantix16.conf",
         "the settings: CPU, the two option boxes, the folder of the browse dialog, the\n"
         "list's column widths, the window's place and the last ten files loaded."},
        {"$TMPDIR/UVantix-UID.lock",
         "held while a window runs, so that a second one does not start; a lock left by a\n"
         "window that crashed is taken over."},
        {"/usr/lib/udev/rules.d/60-vantix-pod.rules",
         "the udev rule that lets the logged-in user open the pod."},
        {"libftd2xx.so", "FTDI's D2XX library, used when installed; otherwise libftdi1."},
    };
    usage.environment = {
        {"XDG_CONFIG_HOME", "where the settings live instead of ~/.config."},
        {"TMPDIR", "the folder of the instance lock (default /tmp)."},
    };
    usage.examples = {
        {"Load a file at start-up:", "vantix firmware.s"},
        {"Try the window without hardware:", "vantix --simulate examples/dsp56f807.s"},
        {"Work with one pod of several:", "vantix --pod FT4A1B2C"},
    };
    usage.seeAlso = {"vantix-cli(1)"};
    return usage;
}
