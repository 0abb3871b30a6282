#include "FormRig.h"

#include <QCheckBox>
#include <QFile>
#include <QPushButton>
#include <QTextBlock>
#include <QTextDocument>
#include <cstdio>

#include "ColorRef.h"
#include "FormLayout.h"
#include "SRecordText.h"
#include "TestPaths.h"

FormRig::FormRig() : settings(std::make_unique<QSettings>(SettingsPath(), QSettings::IniFormat)) {}

FormRig::~FormRig() {
    view.reset();
}

void FormRig::Start() {
    view = std::make_unique<CVantixView>(*settings, image, library, clock);
    // The controls take text once their windows exist, as in the program after show.
    view->show();
    view->InitForm();
    Settle();
}

void FormRig::Restart() {
    view.reset();
    settings->sync();
    Start();
}

std::unique_ptr<QSettings> FormRig::StoredSettings() {
    settings->sync();
    return std::make_unique<QSettings>(SettingsPath(), QSettings::IniFormat);
}

QString FormRig::WriteFile(const QString& name, const std::string& content) {
    const QString path = dir.filePath(name);
    QFile file(path);
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        file.write(content.data(), static_cast<qint64>(content.size()));
    }
    return path;
}

QString FormRig::Example(const char* name) {
    return QString::fromUtf8(VANTIX_EXAMPLES_DIR) + QStringLiteral("/") + QString::fromLatin1(name);
}

void FormRig::Load(const QString& path, CpuType cpu) {
    view->CpuSelection().setCurrentIndex(static_cast<int>(cpu));
    view->PathBox().setEditText(path);
    view->OnFileLoad();
}

void FormRig::LoadExample(const char* name, CpuType cpu) {
    Load(Example(name), cpu);
}

void FormRig::Tick(int row, bool ticked) {
    view->RegionList().item(row, 0)->setCheckState(ticked ? Qt::Checked : Qt::Unchecked);
}

std::vector<FormRig::Line> FormRig::Messages() const {
    std::vector<Line> lines;
    const QTextDocument* document = view->MessageWindow().document();
    for (QTextBlock block = document->begin(); block.isValid(); block = block.next()) {
        if (block.text().isEmpty()) {
            continue;
        }
        const QColor colour = block.begin().fragment().charFormat().foreground().color();
        lines.emplace_back(block.text(), ToColorRef(colour));
    }
    return lines;
}

QString FormRig::LastMessage() const {
    const std::vector<Line> lines = Messages();
    return lines.empty() ? QString() : lines.back().first;
}

void FormRig::ClearMessages() {
    view->MessageWindow().clear();
}

bool FormRig::ControlsEnabled() const {
    for (int id : {FormLayout::kFileLoad, FormLayout::kTargetReset, FormLayout::kTargetWrite,
                   FormLayout::kTargetWriteVerify, FormLayout::kTargetVerify, FormLayout::kPodWrite,
                   FormLayout::kPodVerify, FormLayout::kCpuSelection, FormLayout::kRegionList}) {
        if (!view->Control(id)->isEnabled()) {
            return false;
        }
    }
    return true;
}

bool FormRig::AllLedsLit(std::uint32_t colour) const {
    for (int i = 0; i < 4; ++i) {
        const CiLedRoundX& led = view->LedLamp(i);
        if (!led.Active() || led.ActiveColor() != colour) {
            return false;
        }
    }
    return true;
}

std::string S3Line(std::uint32_t address, const std::vector<std::uint16_t>& words) {
    return S3Record(address, words) + "\n";
}
