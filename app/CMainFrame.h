#pragma once

#include <QRect>
#include <QWidget>

class CVantixView;
class QScrollArea;
class QSettings;

// The program's only top-level window. It holds the form and nothing else, takes the form's
// size and cannot be resized, minimised or maximised. It keeps the rectangle it had when it
// was closed in "Main Configuration" ("Left Pos", "Top Pos", "Right Pos", "Bottom Pos"), in
// the toolkit's device-independent pixels, the units of its own positions at any scale.
// On a screen too small for the form, the window fills the screen's available area from its
// top left corner and the form scrolls inside it.
class CMainFrame : public QWidget {
    Q_OBJECT

public:
    // Reads the saved rectangle.
    explicit CMainFrame(QSettings& settings, QWidget* parent = nullptr);
    // Writes the rectangle captured at close.
    ~CMainFrame() override;

    // Adopts the form and fits the client area to it exactly, or to the screen.
    void SetForm(CVantixView* form);
    CVantixView* Form() const { return form_; }

    // Moves the window to the saved rectangle when that lies on a connected screen and the
    // window fits the screen, moved in as far as needed to lie wholly on it; otherwise the
    // window opens where the system puts it, or at the top left when it does not fit.
    // Returns whether it moved.
    bool PlaceAtSavedRectangle();
    // Sizes the window to the form, moved inside the available area of its screen where it
    // reaches past it, or, when the window with its frame would not fit that area, to the
    // area, at its top left, with the form scrolling.
    // The frame is known once the window system has framed the shown window; until then it
    // counts as none, and the window fits again when it learns of it. Returns whether the
    // form scrolls.
    bool FitToScreen();

    int Left() const { return left_; }
    int Top() const { return top_; }
    int Right() const { return right_; }
    int Bottom() const { return bottom_; }

protected:
    // Refused while an operation runs; otherwise the rectangle is captured.
    void closeEvent(QCloseEvent* event) override;
    // Fit again once the frame around the window is known.
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void CaptureRectangle();
    // Moves the window, frame and all, inside the area when it fits there.
    void KeepInside(const QRect& available);

    QSettings& settings_;
    CVantixView* form_ = nullptr;
    QScrollArea* area_ = nullptr;
    QMargins fittedFrame_;  // the frame counted at the last fit
    bool scrolls_ = false;
    bool watchingFrame_ = false;
    int left_ = 0;
    int top_ = 0;
    int right_ = 0;
    int bottom_ = 0;
};
