#include "FormSettings.h"

#include <QSettings>
#include <QVariant>
#include <algorithm>

namespace {

constexpr const char* kCpuType = "CPU Type";
constexpr const char* kEraseAllBFlash = "Erase All BFlash";
constexpr const char* kResetAfterWrite = "Reset After Write";
constexpr const char* kSFileDirectory = "S File Directory";
constexpr std::array<const char*, 3> kColumnWidthKeys = {"List Column0 Width", "List Column1 Width",
                                                         "List Column2 Width"};

long long ReadInteger(const QSettings& settings, const char* key, long long fallback) {
    const QVariant value = settings.value(QString::fromLatin1(key));
    if (!value.isValid()) {
        return fallback;
    }
    bool ok = false;
    const long long number = value.toString().trimmed().toLongLong(&ok);
    return ok ? number : fallback;
}

// A string key, or empty when it holds anything else (an ini line with commas reads as a
// list, for instance).
QString ReadText(const QSettings& settings, const char* key) {
    const QVariant value = settings.value(QString::fromLatin1(key));
    if (value.typeId() != QMetaType::QString && value.typeId() != QMetaType::QByteArray) {
        return {};
    }
    return value.toString();
}

}  // namespace

FormSettings FormSettings::Read(QSettings& settings) {
    FormSettings read;
    settings.beginGroup(QString::fromLatin1(kSection));
    std::uint8_t cpu = static_cast<std::uint8_t>(ReadInteger(settings, kCpuType, 3) & 0xFF);
    read.cpuType = std::min<std::uint8_t>(cpu, 3);
    read.eraseAllBoot = ReadInteger(settings, kEraseAllBFlash, 1) != 0;
    read.resetAfterWrite = ReadInteger(settings, kResetAfterWrite, 0) != 0;
    const QString directory = ReadText(settings, kSFileDirectory);
    read.sFileDirectory = IsUsablePath(directory) ? directory : QString();
    for (std::size_t i = 0; i < kColumnWidthKeys.size(); ++i) {
        read.columnWidths[i] =
            ClampColumnWidth(ReadInteger(settings, kColumnWidthKeys[i], read.columnWidths[i]));
    }
    settings.endGroup();
    return read;
}

void FormSettings::Write(QSettings& settings) const {
    settings.beginGroup(QString::fromLatin1(kSection));
    settings.setValue(QString::fromLatin1(kCpuType), static_cast<int>(cpuType));
    settings.setValue(QString::fromLatin1(kEraseAllBFlash), eraseAllBoot ? 1 : 0);
    settings.setValue(QString::fromLatin1(kResetAfterWrite), resetAfterWrite ? 1 : 0);
    settings.setValue(QString::fromLatin1(kSFileDirectory), sFileDirectory);
    for (std::size_t i = 0; i < kColumnWidthKeys.size(); ++i) {
        settings.setValue(QString::fromLatin1(kColumnWidthKeys[i]), columnWidths[i]);
    }
    settings.endGroup();
}

void FormSettings::WriteDirectory(QSettings& settings, const QString& directory) {
    settings.beginGroup(QString::fromLatin1(kSection));
    settings.setValue(QString::fromLatin1(kSFileDirectory), directory);
    settings.endGroup();
}

int FormSettings::ClampColumnWidth(long long width) {
    return static_cast<int>(std::clamp<long long>(width, kMinColumnWidth, kMaxColumnWidth));
}

bool FormSettings::IsUsablePath(const QString& path) {
    return !path.isEmpty() && path.size() <= kMaxPathLength && !path.contains(QChar(u'\0'));
}
