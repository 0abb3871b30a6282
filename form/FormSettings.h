#pragma once

#include <QString>
#include <array>
#include <cstdint>

class QSettings;

// The form's keys in "Main Configuration". Reading never trusts the store: a value that is
// missing or not a number gives the default, the CPU keeps its low 8 bits and tops out at the
// DSP56F807, a column width is held to a range a list can show, and an unusable folder text
// is dropped.
struct FormSettings {
    static constexpr const char* kSection = "Main Configuration";
    static constexpr int kMinColumnWidth = 20;
    static constexpr int kMaxColumnWidth = 1000;
    static constexpr int kMaxPathLength = 4096;

    std::uint8_t cpuType = 3;
    bool eraseAllBoot = true;
    bool resetAfterWrite = false;
    QString sFileDirectory;
    std::array<int, 3> columnWidths = {100, 100, 110};

    static FormSettings Read(QSettings& settings);
    void Write(QSettings& settings) const;
    // The browse dialog stores its folder at once, apart from the other keys.
    static void WriteDirectory(QSettings& settings, const QString& directory);

    static int ClampColumnWidth(long long width);
    // A path text fit to use: not empty, not absurdly long, no NUL.
    static bool IsUsablePath(const QString& path);
};
