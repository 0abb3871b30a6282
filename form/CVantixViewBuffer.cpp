// "File Load" and the buffer window: the region list and the hex display.
#include <QFile>
#include <QFileInfo>
#include <algorithm>

#include "CVantixView.h"
#include "FormSettings.h"
#include "RegionRows.h"
#include "SFileImage.h"

namespace {

constexpr const char* kNoPathText = "Please, specify S File to load buffer";
constexpr const char* kWrongPathText = "The specified S File path is wrong";
constexpr const char* kReadFailedText = "Fail to read S File";
constexpr const char* kReadOkText = "Reading S File is OK !!!";

QTableWidgetItem* ListItem(const std::string& text) {
    auto* item = new QTableWidgetItem(QString::fromStdString(text));
    item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
    return item;
}

}  // namespace

void CVantixView::OnFileLoad() {
    sFilePath_ = pathBox_.currentText().trimmed();
    if (sFilePath_.isEmpty()) {
        AddMessage(kNoPathText, kColourRed);
        return;
    }
    if (sFilePath_.size() > FormSettings::kMaxPathLength || !QFileInfo::exists(sFilePath_)) {
        AddMessage(kWrongPathText, kColourRed);
        // A recent file that is gone is a dead link: it leaves the list.
        DropRecentFile(sFilePath_);
        return;
    }

    image_.cpu = static_cast<CpuType>(std::clamp(cpuSelection_.currentIndex(), 0, 3));
    image_.ApplyCpuMemoryMap();
    regionList_.setRowCount(0);
    if (!image_.ReadSFile(QFile::encodeName(sFilePath_).toStdString())) {
        ShowErasedFlash();
        AddMessage(kReadFailedText, kColourRed);
        return;
    }

    const std::vector<RegionRow> rows = ListPresentRegions(image_);
    for (const RegionRow& row : rows) {
        const int index = regionList_.rowCount();
        regionList_.insertRow(index);
        QTableWidgetItem* name = ListItem(row.name);
        name->setFlags(name->flags() | Qt::ItemIsUserCheckable);
        name->setCheckState(Qt::Checked);
        regionList_.setItem(index, 0, name);
        regionList_.setItem(index, 1, ListItem(row.startText));
        regionList_.setItem(index, 2, ListItem(row.sizeText));
    }
    if (!rows.empty()) {
        // Row 0 carries the list's focus mark without being shown selected.
        regionList_.selectionModel()->setCurrentIndex(regionList_.model()->index(0, 0),
                                                      QItemSelectionModel::NoUpdate);
        ShowRegion(rows.front().region);
    } else {
        // The image is cleared: the previous file's words must not stay in view.
        ShowErasedFlash();
    }
    AddRecentFile(sFilePath_);
    AddMessage(kReadOkText, kColourGreen);
    // The reader loads what it can; say so when it had to skip or distrust part of the file.
    if (image_.diagnostics.Any()) {
        AddMessage(image_.diagnostics.Summary().c_str(), kColourRed);
    }
}

void CVantixView::OnRegionDoubleClick(int row) {
    if (row < 0 || row >= regionList_.rowCount()) {
        return;
    }
    const QTableWidgetItem* name = regionList_.item(row, 0);
    if (name == nullptr) {
        return;
    }
    if (const auto region = RegionFromName(name->text().toStdString())) {
        ShowRegion(*region);
    }
}

void CVantixView::ShowRegion(MemoryRegion region) {
    const AddressArea& area = image_.Area(region);
    const std::uint32_t words = std::min(area.size, image_.Region(region).capacity);
    ShowWords(image_.Region(region).words, words, area.start);
}

void CVantixView::ShowErasedFlash() {
    ShowWords(image_.Region(MemoryRegion::PFLASH).words, kErasedDisplayWords, 0);
}

void CVantixView::ShowWords(const std::uint16_t* words, std::uint32_t count,
                            std::uint32_t baseAddress) {
    std::vector<std::uint8_t> bytes(std::size_t{count} * 2);
    for (std::uint32_t i = 0; i < count; ++i) {
        bytes[2 * i] = static_cast<std::uint8_t>(words[i] & 0xFF);
        bytes[2 * i + 1] = static_cast<std::uint8_t>(words[i] >> 8);
    }
    hexDisplay_.SetData(bytes.data(), static_cast<std::uint32_t>(bytes.size()), true, baseAddress);
}
