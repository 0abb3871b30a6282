#include "RecentFileStore.h"

#include <QFileInfo>
#include <QSettings>
#include <QVariant>

#include "FormSettings.h"

namespace {

QString Key(int index) {
    return QStringLiteral("Recent File%1").arg(index);
}

}  // namespace

QStringList RecentFileStore::Read(QSettings& settings) {
    QStringList files;
    settings.beginGroup(QString::fromLatin1(kSection));
    for (int k = 0; k < kMaxEntries; ++k) {
        const QVariant value = settings.value(Key(k));
        // A key holding a list (commas in an ini line) or nothing ends the list like an empty one.
        const QString path =
            value.typeId() == QMetaType::QString || value.typeId() == QMetaType::QByteArray
                ? value.toString()
                : QString();
        if (path.isEmpty()) {
            break;
        }
        if (IsExistingFile(path)) {
            files.append(path);
        }
    }
    settings.endGroup();
    return files;
}

void RecentFileStore::Write(QSettings& settings, const QStringList& recentFiles) {
    settings.remove(QString::fromLatin1(kSection));
    settings.beginGroup(QString::fromLatin1(kSection));
    int k = 0;
    for (const QString& path : recentFiles) {
        if (path.isEmpty()) {
            break;
        }
        if (!IsExistingFile(path)) {
            continue;
        }
        if (k == kMaxEntries) {
            break;
        }
        settings.setValue(Key(k), path);
        ++k;
    }
    settings.endGroup();
}

bool RecentFileStore::IsExistingFile(const QString& path) {
    return FormSettings::IsUsablePath(path) && QFileInfo(path).isFile();
}
