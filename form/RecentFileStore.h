#pragma once

#include <QStringList>

class QSettings;

// The list of recently loaded S files in the section "File List", keys "Recent File0" to
// "Recent File9", most recent first. Only paths that name an existing file (not a folder)
// are read or written.
class RecentFileStore {
public:
    static constexpr const char* kSection = "File List";
    static constexpr int kMaxEntries = 10;

    // Keys in order up to the first empty one; entries that are no file are skipped.
    static QStringList Read(QSettings& settings);
    // Replaces the whole section, so a key an earlier run wrote beyond the new list cannot
    // bring a dropped file back at the next start.
    static void Write(QSettings& settings, const QStringList& recentFiles);

    static bool IsExistingFile(const QString& path);
};
