#pragma once

#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QHash>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QString>
#include <QStringList>
#include <QTableWidget>
#include <QWidget>
#include <array>
#include <functional>
#include <optional>
#include <vector>

#include "CHexEditBase.h"
#include "CMessageWindow.h"
#include "CPercentProgressCtrl.h"
#include "CSectionLabel.h"
#include "CStatusLabel.h"
#include "CUsbPod.h"
#include "CiLedRoundX.h"
#include "DialogUnits.h"
#include "FormLayout.h"
#include "InputGate.h"
#include "LedLampDisplay.h"
#include "MemoryRegion.h"
#include "MessageWindowDisplay.h"
#include "ProgrammerCommands.h"
#include "ProgressBarDisplay.h"
#include "RegionListWidget.h"
#include "StatusLabelDisplay.h"

class Clock;
class D2xxLibrary;
class QSettings;
class SFileImage;

// The programmer form: the settings row, the operation buttons with the status line, lamps
// and progress bar, the message window and the buffer window. It owns the display controls
// and the pod driver; the operation buttons run the shared ProgrammerCommands, lending them
// the form's displays and busy state.
class CVantixView : public QWidget, public OperationUi {
    Q_OBJECT

public:
    // An empty or unreadable image shows the whole PFLASH array: 0x10000 bytes.
    static constexpr std::uint32_t kErasedDisplayWords = 0x8000;
    // The browse dialog's filters, the first chosen at first: firmware builds name their
    // files .s or .S; other builds .s19 or .srec, which File Load reads as well. The dialog
    // shows a filter without its last parentheses, so the second shows as "All files (*)".
    static constexpr const char* kSFileFilter = "Mot Hex Files (.s) (*.s *.S)";
    static constexpr const char* kAllFilesFilter = "All files (*) (*)";

    // The settings, image, library and clock are borrowed and must outlive the form; the
    // clock is the one the pod runs on, so elapsed times are the pod's.
    CVantixView(QSettings& settings, SFileImage& image, D2xxLibrary& library, Clock& clock,
                QWidget* parent = nullptr);
    // Saves the settings if InitForm ran and SaveSettings has not yet.
    ~CVantixView() override;

    // The form's size in pixels: 411 x 388 dialog units of its font.
    QSize FormSize() const;
    const DialogUnits& Units() const { return units_; }

    // Start-up and shut-down.
    void InitForm();
    // The displays' fixed looks: colours, captions, ranges, the hex view's layout.
    void StyleDisplays();
    void SaveSettings();

    // The settings row and the recent files.
    void OnBrowse();
    void OnPathSelChange(int index);
    void ShowFileTime(const QString& path);
    // Last-write time in local time as "YYYY/MM/DD  hh:mm:ss"; nothing when unreadable.
    static std::optional<QString> FormatFileTime(QFile& file);
    void AddRecentFile(const QString& path);
    // Removes a path from the recent files, when there (exact, case-sensitive text).
    void DropRecentFile(const QString& path);
    // The browse dialog; tests replace it. Gets the starting folder, returns the chosen
    // path or an empty text on cancel.
    using FileChooser = std::function<QString(const QString& startFolder)>;
    void SetFileChooser(FileChooser chooser) { chooseFile_ = std::move(chooser); }

    // File Load and the buffer window.
    void OnFileLoad();
    // A file named on the command line or dropped on the window: its absolute path goes into
    // the path box and its time under it, as the browse dialog does, then File Load runs.
    void LoadFile(const QString& path);
    // row: the row hit, or -1 for none.
    void OnRegionDoubleClick(int row);
    void ShowRegion(MemoryRegion region);

    // The operation commands.
    bool ConnectPod();
    void ResetLeds();
    void EnableOperationControls(bool enable);
    void OnTargetReset();
    void OnTargetWrite();
    void OnTargetWriteVerify();
    void OnTargetVerify();
    void OnPodWrite();
    void OnPodVerify();
    bool IsBusy() const { return busy_; }
    // Closed while an operation runs and until the event loop is reached after it.
    const InputGate& Gate() const { return gate_; }

    // OperationUi.
    MessageDisplay& Messages() override { return messageDisplay_; }
    StatusDisplay& Status() override { return statusDisplay_; }
    ProgressDisplay& Progress() override { return progressDisplay_; }
    LedDisplay& Led(int index) override;
    void SetBusy(bool busy) override;

    // The controls, for the frame and for tests.
    QWidget* Control(int id) const { return controls_.value(id, nullptr); }
    QPushButton* Button(int id) const;
    CStatusLabel& StatusLabel() { return statusLabel_; }
    CPercentProgressCtrl& ProgressBar() { return progressBar_; }
    CMessageWindow& MessageWindow() { return messageWindow_; }
    CHexEditBase& HexDisplay() { return hexDisplay_; }
    CiLedRoundX& LedLamp(int index) { return leds_[static_cast<std::size_t>(index)]; }
    QComboBox& CpuSelection() { return cpuSelection_; }
    QComboBox& PathBox() { return pathBox_; }
    QTableWidget& RegionList() { return regionList_; }
    QLabel& TimeLabel() { return timeLabel_; }
    QCheckBox& EraseAllBootBox() const;
    QCheckBox& ResetAfterWriteBox() const;
    const QStringList& RecentFiles() const { return recentFiles_; }
    const QString& SFilePath() const { return sFilePath_; }
    const QString& SFileDirectory() const { return sFileDirectory_; }
    std::array<int, 3> ColumnWidths() const;
    CUsbPod& Pod() { return pod_; }
    SFileImage& Image() { return image_; }

protected:
    // Takes a file dropped anywhere on the form.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void BuildControls();
    // Puts each control of the layout table where the table says, in its stacking and tab
    // order; `members` are the form's own, the rest are made here.
    void PlaceControls(const QHash<int, QWidget*>& members);
    // Captions, CPU names and the path box's behaviour.
    void ConfigureControls();
    // The names a screen reader gives the controls; `placed` holds the controls in the
    // layout table's order.
    void NameControls(const std::vector<QWidget*>& placed);
    bool TakeFileDrop(QObject* watched, QEvent* event);
    QWidget* CreateStaticControl(const FormLayout::FormControl& control);
    void ConnectCommands();
    void ConfigureRegionList();
    void AddMessage(const char* text, std::uint32_t colour);
    // Erased PFLASH from address 0: the hex display when no region is loaded.
    void ShowErasedFlash();
    // The hex display gets its own copy of count words, as little-endian bytes.
    void ShowWords(const std::uint16_t* words, std::uint32_t count, std::uint32_t baseAddress);
    void RunTargetCommand(TargetCommand command);
    void RunPodCommand(PodCommand command);
    QString ChooseSFile(const QString& startFolder);

    QSettings& settings_;
    SFileImage& image_;
    Clock& clock_;
    DialogUnits units_;

    // The display controls and the form's state, in the order they are put together.
    CStatusLabel statusLabel_;
    CPercentProgressCtrl progressBar_;
    CSectionLabel bufferCaption_;
    CSectionLabel messageCaption_;
    CMessageWindow messageWindow_;
    QComboBox cpuSelection_;
    QComboBox pathBox_;
    CHexEditBase hexDisplay_;
    RegionListWidget regionList_;
    QLabel timeLabel_;
    std::array<CiLedRoundX, 4> leds_;
    // The displays lent to the pod driver outlive it.
    StatusLabelDisplay statusDisplay_;
    ProgressBarDisplay progressDisplay_;
    MessageWindowDisplay messageDisplay_;
    std::array<LedLampDisplay, 4> ledDisplays_;
    std::array<int, 3> columnWidths_ = {100, 100, 110};
    QStringList recentFiles_;
    QString sFilePath_;
    QString sFileDirectory_;
    CUsbPod pod_;
    ProgrammerCommands commands_;

    QHash<int, QWidget*> controls_;
    QWidget* firstTabStop_ = nullptr;
    FileChooser chooseFile_;
    InputGate gate_;
    // Where the keyboard focus was when the form went busy, and where disabling the
    // operation controls moved it.
    QPointer<QWidget> focusBeforeBusy_;
    QPointer<QWidget> focusWhileBusy_;
    bool busy_ = false;
    bool initialised_ = false;
    bool settingsSaved_ = false;
};
