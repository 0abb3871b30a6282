// Renders every control in typical states to PNG files, for a person to look at.
// Usage: vantix_controls_gallery <output folder>

#include <QApplication>
#include <QDir>
#include <QFont>
#include <QHBoxLayout>
#include <QMouseEvent>
#include <QVBoxLayout>
#include <cstdint>
#include <cstdio>
#include <vector>

#include "CHexEditBase.h"
#include "CMessageWindow.h"
#include "CPercentProgressCtrl.h"
#include "CSectionLabel.h"
#include "CStatusLabel.h"
#include "CiLedRoundX.h"

namespace {

bool Save(QWidget& widget, const QDir& folder, const char* name) {
    widget.show();
    for (int i = 0; i < 5; ++i) {
        QCoreApplication::processEvents();
    }
    const QString path = folder.filePath(QString::fromLatin1(name) + QStringLiteral(".png"));
    if (!widget.grab().save(path)) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        return false;
    }
    return true;
}

std::vector<std::uint8_t> SampleFlash() {
    std::vector<std::uint8_t> bytes(0x10000, 0xFF);
    const char text[] = "Vantix hex view: words are little-endian.";
    for (std::size_t i = 0; i < 0x200; ++i) {
        bytes[i] = static_cast<std::uint8_t>(i * 7 + 3);
    }
    for (std::size_t i = 0; i + 1 < sizeof text; ++i) {
        bytes[0x40 + i] = static_cast<std::uint8_t>(text[i]);
    }
    return bytes;
}

// Drags with the left button from one viewport point to another, as a user selects.
void Drag(QWidget* viewport, QPointF from, QPointF to) {
    QMouseEvent press(QEvent::MouseButtonPress, from, viewport->mapToGlobal(from), Qt::LeftButton,
                      Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(viewport, &press);
    QMouseEvent move(QEvent::MouseMove, to, viewport->mapToGlobal(to), Qt::NoButton, Qt::LeftButton,
                     Qt::NoModifier);
    QCoreApplication::sendEvent(viewport, &move);
    QMouseEvent release(QEvent::MouseButtonRelease, to, viewport->mapToGlobal(to), Qt::LeftButton,
                        Qt::NoButton, Qt::NoModifier);
    QCoreApplication::sendEvent(viewport, &release);
}

// The hex view as the form configures it, at its size on the form, and one with characters
// and a selection.
bool SaveHexViews(const QDir& folder, const std::vector<std::uint8_t>& flash) {
    CHexEditBase hex;
    hex.SetAddressDigits(4, false);
    hex.ShowAddress(true, false);
    hex.ShowAscii(false, false);
    hex.SetBytesPerRow(8, true, false);
    hex.SetData(flash.data(), 0x10000, true, 0);
    hex.resize(362, 189);
    bool ok = Save(hex, folder, "hex-form");

    CHexEditBase chars;
    chars.ShowAddress(true, false);
    chars.ShowAscii(true, false);
    chars.SetBytesPerRow(16, false, false);
    chars.SetData(flash.data(), 0x400, true, 0x2000);
    chars.resize(420, 160);
    chars.show();
    chars.SetTopRow(3, true);
    const HexLayout& layout = chars.Layout();
    Drag(chars.viewport(), QPointF(layout.hexX + 6 * layout.charWidth, 20),
         QPointF(layout.hexX + 14 * layout.charWidth, 3 * layout.lineHeight + 5));
    ok &= Save(chars, folder, "hex-characters-selection");
    return ok;
}

bool SaveSectionLabels(const QDir& folder) {
    CSectionLabel message(QStringLiteral("Message Window"));
    message.resize(656, 13);
    bool ok = Save(message, folder, "section-left");
    CSectionLabel centred(QStringLiteral("Target Write && Verify"));
    centred.SetAlignment(CSectionLabel::Alignment::Centre);
    centred.resize(400, 13);
    ok &= Save(centred, folder, "section-centred");
    CSectionLabel vertical(QStringLiteral("Buffer"));
    vertical.SetVertical(true);
    vertical.resize(16, 160);
    ok &= Save(vertical, folder, "section-vertical");
    return ok;
}

bool SaveStatusLabel(const QDir& folder) {
    CStatusLabel status;
    status.resize(520, 31);
    status.SetTextColor(0xE6E6E6, true);
    status.SetBackColor(0xC0C0C0, true);
    status.SetGradient(true);
    status.FitToText(true);
    bool ok = Save(status, folder, "status-initial");
    status.SetText("PFLASH Erasing...");
    ok &= Save(status, folder, "status-erasing");
    return ok;
}

bool SaveProgressBars(const QDir& folder) {
    QWidget bars;
    auto* barsLayout = new QVBoxLayout(&bars);
    std::vector<CPercentProgressCtrl*> progress;
    for (int i = 0; i < 4; ++i) {
        progress.push_back(new CPercentProgressCtrl(&bars));
        progress.back()->setFixedSize(637, 31);
        barsLayout->addWidget(progress.back());
    }
    bars.show();  // the bars need their window before SetPos takes
    const int positions[] = {0, 42, 50, 100};
    for (int i = 0; i < 4; ++i) {
        progress[i]->SetPos(positions[i]);
    }
    progress[2]->SetWindowText(QStringLiteral("Firmware Downloading..."));
    return Save(bars, folder, "progress");
}

bool SaveLeds(const QDir& folder) {
    QWidget leds;
    auto* ledLayout = new QHBoxLayout(&leds);
    const std::uint32_t states[][3] = {{0x00FF00, 0x005500, 0},
                                       {0x00FF00, 0x005500, 1},
                                       {0x0000FF, 0x000080, 1},
                                       {0x0000FF, 0x000080, 0}};
    for (const auto& state : states) {
        auto* led = new CiLedRoundX(&leds);
        led->setFixedSize(28, 26);
        led->SetActiveColor(state[0]);
        led->SetInactiveColor(state[1]);
        led->SetActive(state[2] != 0);
        ledLayout->addWidget(led);
    }
    bool ok = Save(leds, folder, "leds");
    QWidget bigLed;
    auto* bigLayout = new QHBoxLayout(&bigLed);
    auto* big = new CiLedRoundX(&bigLed);
    big->setFixedSize(96, 96);
    big->SetActive(true);
    bigLayout->addWidget(big);
    ok &= Save(bigLed, folder, "led-large");
    return ok;
}

bool SaveMessageWindow(const QDir& folder) {
    CMessageWindow log;
    log.resize(658, 145);
    log.show();
    log.SetMaxLines(200);
    log.AddMessage("Not connect to USB Programmer", 0x0000FF);
    log.AddMessage("Reading S File is OK !!!", 0x008000);
    log.AddMessage("Please, select list item for flash writing", 0xFF0000);
    log.AddMessage("[Current SFile Info. in Serial EEPROM of USB POD]", 0xFF0000);
    for (int i = 0; i < 8; ++i) {
        log.AddMessage(i % 2 == 0 ? "Flash Writing is OK !!!" : "Fail to reset target board",
                       i % 2 == 0 ? 0x008000 : 0x0000FF);
    }
    return Save(log, folder, "messages");
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QFont formFont(QStringLiteral("Liberation Sans"));
    formFont.setPointSize(9);
    QApplication::setFont(formFont);
    const QDir folder(argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("gallery"));
    if (!QDir().mkpath(folder.path())) {
        std::fprintf(stderr, "cannot create %s\n", qPrintable(folder.path()));
        return 1;
    }
    bool ok = SaveHexViews(folder, SampleFlash());
    ok &= SaveSectionLabels(folder);
    ok &= SaveStatusLabel(folder);
    ok &= SaveProgressBars(folder);
    ok &= SaveLeds(folder);
    ok &= SaveMessageWindow(folder);
    return ok ? 0 : 1;
}
