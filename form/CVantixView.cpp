#include "CVantixView.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QDropEvent>
#include <QFileInfo>
#include <QGroupBox>
#include <QHeaderView>
#include <QMimeData>
#include <QPushButton>

#include "CpuType.h"
#include "DialogButton.h"
#include "SFileImage.h"

using FormLayout::ControlKind;
using FormLayout::FormControl;

CVantixView::CVantixView(QSettings& settings, SFileImage& image, D2xxLibrary& library, Clock& clock,
                         QWidget* parent)
    : QWidget(parent),
      settings_(settings),
      image_(image),
      clock_(clock),
      units_(DialogUnits::FormFont()),
      statusLabel_(this),
      progressBar_(this),
      bufferCaption_(this),
      messageCaption_(this),
      messageWindow_(this),
      cpuSelection_(this),
      pathBox_(this),
      hexDisplay_(this),
      regionList_(this),
      timeLabel_(this),
      statusDisplay_(statusLabel_),
      progressDisplay_(progressBar_),
      messageDisplay_(messageWindow_),
      ledDisplays_{LedLampDisplay(leds_[0]), LedLampDisplay(leds_[1]), LedLampDisplay(leds_[2]),
                   LedLampDisplay(leds_[3])},
      pod_(library, clock, image),
      commands_(pod_, image, clock, *this),
      gate_(*this) {
    setFont(DialogUnits::FormFont());
    for (CiLedRoundX& led : leds_) {
        led.setParent(this);
    }
    BuildControls();
    ConnectCommands();
    // What the form keeps usable while an operation runs.
    gate_.SetUsable(
        {&EraseAllBootBox(), &ResetAfterWriteBox(), &pathBox_, Button(FormLayout::kBrowse)});
    setFixedSize(FormSize());
    setAcceptDrops(true);
    if (QCoreApplication::instance() != nullptr) {
        QCoreApplication::instance()->installEventFilter(this);
    }
}

CVantixView::~CVantixView() {
    if (initialised_ && !settingsSaved_) {
        SaveSettings();
    }
    if (busy_) {
        QApplication::restoreOverrideCursor();
    }
}

QSize CVantixView::FormSize() const {
    return units_.ToPixels(QSize(FormLayout::kFormWidthDu, FormLayout::kFormHeightDu));
}

void CVantixView::BuildControls() {
    const QHash<int, QWidget*> members = {
        {FormLayout::kStatusLabel, &statusLabel_},
        {FormLayout::kProgressBar, &progressBar_},
        {FormLayout::kBufferCaption, &bufferCaption_},
        {FormLayout::kMessageCaption, &messageCaption_},
        {FormLayout::kMessageWindow, &messageWindow_},
        {FormLayout::kCpuSelection, &cpuSelection_},
        {FormLayout::kPathBox, &pathBox_},
        {FormLayout::kHexDisplay, &hexDisplay_},
        {FormLayout::kRegionList, &regionList_},
        {FormLayout::kTimeLabel, &timeLabel_},
        {FormLayout::kLed1, &leds_[0]},
        {FormLayout::kLed2, &leds_[1]},
        {FormLayout::kLed3, &leds_[2]},
        {FormLayout::kLed4, &leds_[3]},
    };
    // The line edit of an editable box joins the focus chain where it is created: it must
    // exist before the chain is laid out below, or Shift+Tab goes round in a loop there.
    pathBox_.setEditable(true);
    PlaceControls(members);
    ConfigureControls();
}

void CVantixView::PlaceControls(const QHash<int, QWidget*>& members) {
    QWidget* previous = nullptr;
    std::vector<QWidget*> placed;
    for (const FormControl& control : FormLayout::Controls()) {
        QWidget* widget = members.value(control.id, nullptr);
        if (widget == nullptr) {
            widget = CreateStaticControl(control);
        }
        placed.push_back(widget);
        const bool dropDown = control.kind == ControlKind::DropDownList ||
                              control.kind == ControlKind::EditableDropDown;
        const int heightDu = dropDown ? FormLayout::kClosedDropDownHeightDu : control.h;
        widget->setGeometry(units_.ToPixels(control.x, control.y, control.w, heightDu));
        // Children stack in creation order; raising in table order puts the group boxes
        // underneath the controls they frame, and the tab order follows the table too.
        widget->raise();
        if (control.id != FormLayout::kNoId) {
            controls_.insert(control.id, widget);
        }
        if (widget->focusPolicy() != Qt::NoFocus) {
            if (previous != nullptr) {
                setTabOrder(previous, widget);
            } else {
                firstTabStop_ = widget;
            }
            previous = widget;
        }
    }
    NameControls(placed);
}

void CVantixView::ConfigureControls() {
    statusLabel_.SetWindowText(
        QString::fromLatin1(FormLayout::Find(FormLayout::kStatusLabel)->caption));
    messageCaption_.SetText(
        QString::fromLatin1(FormLayout::Find(FormLayout::kMessageCaption)->caption));
    bufferCaption_.SetText(
        QString::fromLatin1(FormLayout::Find(FormLayout::kBufferCaption)->caption));
    timeLabel_.setText(QString::fromLatin1(FormLayout::Find(FormLayout::kTimeLabel)->caption));
    timeLabel_.setAlignment(Qt::AlignLeft | Qt::AlignVCenter);

    for (int cpu = 0; cpu < kCpuTypeCount; ++cpu) {
        cpuSelection_.addItem(QString::fromLatin1(CpuName(static_cast<CpuType>(cpu))));
    }
    // Typing and Enter never add entries: the list holds the recent files only.
    pathBox_.setInsertPolicy(QComboBox::NoInsert);
    // No completion: File Load reads the text exactly as typed, and a completion popup would
    // take the next click for itself, so a click on "File Load" would load nothing while the
    // box names a new file. The drop-down list offers the recent files. Without a completer,
    // Enter also matches entries case-sensitively: another letter case is another file here.
    pathBox_.setCompleter(nullptr);
    pathBox_.setMaxVisibleItems(10);
    ConfigureRegionList();
}

QWidget* CVantixView::CreateStaticControl(const FormControl& control) {
    const QString caption = QString::fromLatin1(control.caption);
    switch (control.kind) {
        case ControlKind::GroupBox:
            return new QGroupBox(caption, this);
        case ControlKind::CheckBox:
            return new QCheckBox(caption, this);
        case ControlKind::PushButton:
            return new DialogButton(caption, this);
        default: {
            auto* label = new QLabel(caption, this);
            label->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
            return label;
        }
    }
}

void CVantixView::ConfigureRegionList() {
    regionList_.setColumnCount(3);
    regionList_.verticalHeader()->hide();
    regionList_.setShowGrid(true);
    regionList_.setSelectionBehavior(QAbstractItemView::SelectRows);
    regionList_.setSelectionMode(QAbstractItemView::SingleSelection);
    regionList_.setEditTriggers(QAbstractItemView::NoEditTriggers);
    regionList_.setSortingEnabled(false);
    regionList_.setWordWrap(false);
    // Tab and Shift+Tab go from control to control, as in any dialog; the arrow keys move
    // within the list.
    regionList_.setTabKeyNavigation(false);
    regionList_.horizontalHeader()->setSectionsClickable(false);
    regionList_.horizontalHeader()->setSortIndicatorShown(false);
    regionList_.horizontalHeader()->setHighlightSections(false);
    regionList_.horizontalHeader()->setStretchLastSection(false);
    regionList_.horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    regionList_.verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 4);
}

void CVantixView::ConnectCommands() {
    connect(&regionList_, &QTableWidget::cellDoubleClicked, this,
            [this](int row, int) { OnRegionDoubleClick(row); });
    connect(&regionList_, &RegionListWidget::rowEntered, this, &CVantixView::OnRegionDoubleClick);
    const std::pair<int, void (CVantixView::*)()> buttons[] = {
        {FormLayout::kBrowse, &CVantixView::OnBrowse},
        {FormLayout::kFileLoad, &CVantixView::OnFileLoad},
        {FormLayout::kTargetReset, &CVantixView::OnTargetReset},
        {FormLayout::kTargetWrite, &CVantixView::OnTargetWrite},
        {FormLayout::kTargetWriteVerify, &CVantixView::OnTargetWriteVerify},
        {FormLayout::kTargetVerify, &CVantixView::OnTargetVerify},
        {FormLayout::kPodWrite, &CVantixView::OnPodWrite},
        {FormLayout::kPodVerify, &CVantixView::OnPodVerify},
    };
    for (const auto& [id, handler] : buttons) {
        connect(Button(id), &QPushButton::clicked, this, handler);
    }
    // Picking an entry from the drop-down list, not typing, shows that file's time.
    connect(&pathBox_, &QComboBox::activated, this, &CVantixView::OnPathSelChange);
}

QPushButton* CVantixView::Button(int id) const {
    return qobject_cast<QPushButton*>(Control(id));
}

QCheckBox& CVantixView::EraseAllBootBox() const {
    return *qobject_cast<QCheckBox*>(Control(FormLayout::kEraseAllBoot));
}

QCheckBox& CVantixView::ResetAfterWriteBox() const {
    return *qobject_cast<QCheckBox*>(Control(FormLayout::kResetAfterWrite));
}

std::array<int, 3> CVantixView::ColumnWidths() const {
    return {regionList_.columnWidth(0), regionList_.columnWidth(1), regionList_.columnWidth(2)};
}

LedDisplay& CVantixView::Led(int index) {
    return ledDisplays_[static_cast<std::size_t>(index & 3)];
}

void CVantixView::AddMessage(const char* text, std::uint32_t colour) {
    messageWindow_.AddMessage(text, colour);
}

void CVantixView::EnableOperationControls(bool enable) {
    for (int id : {FormLayout::kFileLoad, FormLayout::kTargetReset, FormLayout::kTargetWrite,
                   FormLayout::kTargetWriteVerify, FormLayout::kTargetVerify, FormLayout::kPodWrite,
                   FormLayout::kPodVerify}) {
        Control(id)->setEnabled(enable);
    }
    cpuSelection_.setEnabled(enable);
    regionList_.setEnabled(enable);
}

void CVantixView::SetBusy(bool busy) {
    if (busy == busy_) {
        return;
    }
    busy_ = busy;
    if (busy) {
        // Disabling the pressed button moves the focus on, into the message window; a
        // dialog keeps it on the button, so it goes back there once the form is idle.
        QWidget* focused = window()->focusWidget();
        focusBeforeBusy_ = focused != nullptr && isAncestorOf(focused) ? focused : nullptr;
        EnableOperationControls(false);
        focusWhileBusy_ = window()->focusWidget();
        QApplication::setOverrideCursor(Qt::WaitCursor);
    } else {
        QApplication::restoreOverrideCursor();
        EnableOperationControls(true);
        // Unless the operator has since put it into one of the controls that stay usable.
        if (focusBeforeBusy_ != nullptr && focusBeforeBusy_->isEnabled() &&
            window()->focusWidget() == focusWhileBusy_) {
            focusBeforeBusy_->setFocus(Qt::OtherFocusReason);
        }
        focusBeforeBusy_ = nullptr;
        focusWhileBusy_ = nullptr;
    }
}

namespace {

// The one local file a drag carries; empty for anything else, several files included.
QString DroppedFile(const QMimeData* data) {
    if (data == nullptr || !data->hasUrls() || data->urls().size() != 1) {
        return {};
    }
    return data->urls().front().toLocalFile();
}

}  // namespace

void CVantixView::LoadFile(const QString& path) {
    // Absolute and without "." or ".." steps; links stay as named. An empty name stays
    // empty, and File Load asks for a file.
    const QString absolute =
        path.isEmpty() ? path : QDir::cleanPath(QFileInfo(path).absoluteFilePath());
    pathBox_.setEditText(absolute);
    // As after the browse dialog: the label names this file's time, not the one before.
    ShowFileTime(absolute);
    OnFileLoad();
}

bool CVantixView::TakeFileDrop(QObject* watched, QEvent* event) {
    // The path box and the message window take dropped text themselves; a file dropped on
    // them counts as dropped on the form.
    auto* widget = qobject_cast<QWidget*>(watched);
    if (widget == nullptr || (widget != this && !isAncestorOf(widget))) {
        return false;
    }
    switch (event->type()) {
        case QEvent::DragEnter:
        case QEvent::DragMove: {
            auto* drag = static_cast<QDragMoveEvent*>(event);
            if (busy_ || DroppedFile(drag->mimeData()).isEmpty()) {
                return false;
            }
            drag->acceptProposedAction();
            return true;
        }
        case QEvent::Drop: {
            auto* drop = static_cast<QDropEvent*>(event);
            const QString file = DroppedFile(drop->mimeData());
            if (busy_ || file.isEmpty()) {
                return false;
            }
            drop->acceptProposedAction();
            LoadFile(file);
            return true;
        }
        default:
            return false;
    }
}

bool CVantixView::eventFilter(QObject* watched, QEvent* event) {
    if (TakeFileDrop(watched, event)) {
        return true;
    }
    return QWidget::eventFilter(watched, event);
}
