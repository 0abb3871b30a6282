#pragma once

#include <QRect>
#include <QWidget>

class CVantixView;
class QSettings;

// The program's only top-level window. It holds the form and nothing else, takes the form's
// size and cannot be resized, minimised or maximised. It keeps the rectangle it had when it
// was closed in "Main Configuration" ("Left Pos", "Top Pos", "Right Pos", "Bottom Pos").
class CMainFrame : public QWidget {
    Q_OBJECT

public:
    // Reads the saved rectangle.
    explicit CMainFrame(QSettings& settings, QWidget* parent = nullptr);
    // Writes the rectangle captured at close.
    ~CMainFrame() override;

    // Adopts the form and fits the client area to it exactly.
    void SetForm(CVantixView* form);
    CVantixView* Form() const { return form_; }

    // Moves the window to the saved rectangle when that lies on a connected screen; otherwise
    // the window opens where the system puts it. Returns whether it moved.
    bool PlaceAtSavedRectangle();

    int Left() const { return left_; }
    int Top() const { return top_; }
    int Right() const { return right_; }
    int Bottom() const { return bottom_; }

protected:
    // Refused while an operation runs; otherwise the rectangle is captured.
    void closeEvent(QCloseEvent* event) override;

private:
    void CaptureRectangle();

    QSettings& settings_;
    CVantixView* form_ = nullptr;
    int left_ = 0;
    int top_ = 0;
    int right_ = 0;
    int bottom_ = 0;
};
