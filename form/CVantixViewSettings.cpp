// The form's start-up and shut-down, its settings, the recent files, the browse dialog and
// the file time.
#include <QCheckBox>
#include <QDateTime>
#include <QFileDialog>
#include <QFileInfo>
#include <QHeaderView>
#include <QSettings>

#include "CVantixView.h"
#include "FormSettings.h"
#include "RecentFileStore.h"
#include "SFileImage.h"

namespace {

constexpr std::uint32_t kStatusTextColour = 0xE6E6E6;
constexpr std::uint32_t kStatusBackColour = 0xC0C0C0;
constexpr std::uint16_t kMessageLines = 200;

}  // namespace

void CVantixView::InitForm() {
    const FormSettings stored = FormSettings::Read(settings_);
    recentFiles_ = RecentFileStore::Read(settings_);
    sFileDirectory_ = stored.sFileDirectory;
    columnWidths_ = stored.columnWidths;

    image_.ClearImage();
    image_.cpu = static_cast<CpuType>(stored.cpuType);
    cpuSelection_.setCurrentIndex(stored.cpuType);
    image_.ApplyCpuMemoryMap();

    if (!recentFiles_.isEmpty()) {
        pathBox_.addItems(recentFiles_);
        pathBox_.setCurrentIndex(0);
    }

    StyleDisplays();

    regionList_.setHorizontalHeaderLabels({QStringLiteral("Memory Name"),
                                           QStringLiteral("Start Address"),
                                           QStringLiteral("Data Size")});
    for (int column = 0; column < 3; ++column) {
        regionList_.setColumnWidth(column, columnWidths_[static_cast<std::size_t>(column)]);
    }

    ShowErasedFlash();

    if (recentFiles_.isEmpty()) {
        timeLabel_.clear();
    } else {
        ShowFileTime(recentFiles_.first());
    }

    if (!pod_.LoadDriverLibrary()) {
        AddMessage(ProgrammerCommands::kNoLibraryText, kColourRed);
    } else if (!pod_.FindPod()) {
        AddMessage(ProgrammerCommands::kNoPodText, kColourRed);
    }

    EraseAllBootBox().setChecked(stored.eraseAllBoot);
    ResetAfterWriteBox().setChecked(stored.resetAfterWrite);
    ResetLeds();
    // The focus starts on the first control in tab order, as in a dialog. Left to itself the
    // toolkit takes the first control of its focus chain, which begins elsewhere once the
    // chain has been reordered.
    firstTabStop_->setFocus(Qt::OtherFocusReason);
    // Controls mark the focus only once it has moved by key; a dialog marks it from the
    // start, so the operator sees where the keys go before the first Tab.
    window()->setAttribute(Qt::WA_KeyboardFocusChange);
    initialised_ = true;
}

void CVantixView::StyleDisplays() {
    statusLabel_.SetTextColor(kStatusTextColour, true);
    statusLabel_.SetBackColor(kStatusBackColour, true);
    statusLabel_.SetGradient(true);
    statusLabel_.FitToText(true);

    messageCaption_.SetVertical(false);
    bufferCaption_.SetVertical(false);
    messageWindow_.SetMaxLines(kMessageLines);
    progressBar_.SetRange(0, 100);
    progressBar_.SetPos(0);

    hexDisplay_.SetAddressDigits(4, false);
    hexDisplay_.ShowAddress(true, false);
    hexDisplay_.ShowAscii(false, false);
    hexDisplay_.SetBytesPerRow(8, true, false);
}

void CVantixView::SaveSettings() {
    if (settingsSaved_) {
        return;
    }
    settingsSaved_ = true;
    FormSettings current;
    current.cpuType = static_cast<std::uint8_t>(std::clamp(cpuSelection_.currentIndex(), 0, 3));
    current.eraseAllBoot = EraseAllBootBox().isChecked();
    current.resetAfterWrite = ResetAfterWriteBox().isChecked();
    current.sFileDirectory = sFileDirectory_;
    current.columnWidths = ColumnWidths();
    current.Write(settings_);
    RecentFileStore::Write(settings_, recentFiles_);
    recentFiles_.clear();
    settings_.sync();
}

void CVantixView::OnBrowse() {
    if (gate_.IsClosed()) {
        // Asked for during an operation: the dialog would hold the operation up, so it opens
        // once the operation is over.
        gate_.WhenOpen([this] { OnBrowse(); });
        return;
    }
    const QString path = chooseFile_ ? chooseFile_(sFileDirectory_) : ChooseSFile(sFileDirectory_);
    if (path.isEmpty()) {
        return;
    }
    sFilePath_ = path;
    // The folder keeps its trailing separator: the file name is cut off the end.
    sFileDirectory_ = path.left(path.size() - QFileInfo(path).fileName().size());
    FormSettings::WriteDirectory(settings_, sFileDirectory_);
    pathBox_.setEditText(path);
    ShowFileTime(path);
}

QString CVantixView::ChooseSFile(const QString& startFolder) {
    // Only the name shows; some platform dialogs match the patterns letter case and all.
    const QString filters = QString::fromLatin1(kSFileFilter) + QStringLiteral(";;") +
                            QString::fromLatin1(kAllFilesFilter);
    return QFileDialog::getOpenFileName(this, QStringLiteral("Open"), startFolder, filters, nullptr,
                                        QFileDialog::HideNameFilterDetails);
}

void CVantixView::OnPathSelChange(int index) {
    if (index >= 0 && index < pathBox_.count()) {
        ShowFileTime(pathBox_.itemText(index));
    }
}

void CVantixView::ShowFileTime(const QString& path) {
    QFile file(path);
    if (!FormSettings::IsUsablePath(path) || !file.open(QIODevice::ReadOnly)) {
        timeLabel_.clear();
        return;
    }
    timeLabel_.setText(FormatFileTime(file).value_or(QString()));
    file.close();
}

std::optional<QString> CVantixView::FormatFileTime(QFile& file) {
    const QDateTime written = file.fileTime(QFileDevice::FileModificationTime).toLocalTime();
    if (!written.isValid()) {
        return std::nullopt;
    }
    const QDate date = written.date();
    const QTime time = written.time();
    return QString::asprintf("%04d/%02d/%02d  %02d:%02d:%02d", date.year(), date.month(),
                             date.day(), time.hour(), time.minute(), time.second());
}

void CVantixView::DropRecentFile(const QString& path) {
    const qsizetype found = recentFiles_.indexOf(path);
    if (found < 0) {
        return;
    }
    // The box keeps the text typed in it, which names the file that is gone.
    const QString shown = pathBox_.currentText();
    recentFiles_.removeAt(found);
    pathBox_.removeItem(static_cast<int>(found));
    pathBox_.setEditText(shown);
}

void CVantixView::AddRecentFile(const QString& path) {
    if (recentFiles_.isEmpty()) {
        // The first entry leaves the box's text as it is (the toolkit would select it).
        const QString shown = pathBox_.currentText();
        recentFiles_.append(path);
        pathBox_.addItem(path);
        pathBox_.setEditText(shown);
        return;
    }
    const qsizetype found = recentFiles_.indexOf(path);
    if (found > 0) {
        recentFiles_.removeAt(found);
        pathBox_.removeItem(static_cast<int>(found));
        recentFiles_.prepend(path);
        pathBox_.insertItem(0, path);
    } else if (found < 0) {
        if (recentFiles_.size() >= RecentFileStore::kMaxEntries) {
            recentFiles_.removeAt(RecentFileStore::kMaxEntries - 1);
            pathBox_.removeItem(RecentFileStore::kMaxEntries - 1);
        }
        recentFiles_.prepend(path);
        pathBox_.insertItem(0, path);
    }
    pathBox_.setCurrentIndex(0);
}
