#pragma once

#include <QWidget>
#include <cstdint>

// A round signal lamp with a raised bevel and a reflection: the active colour when lit, the
// inactive colour when dark (0x00BBGGRR). Setters schedule a repaint; RepaintNow paints at
// once for callers that do not return to the event loop.
class CiLedRoundX : public QWidget {
    Q_OBJECT

public:
    explicit CiLedRoundX(QWidget* parent = nullptr);

    void SetActive(bool lit);
    void SetActiveColor(std::uint32_t colour);
    void SetInactiveColor(std::uint32_t colour);
    void RepaintNow();

    bool Active() const { return active_; }
    std::uint32_t ActiveColor() const { return activeColour_; }
    std::uint32_t InactiveColor() const { return inactiveColour_; }
    // In words: "off" while dark, else the lit colour's strongest primary ("green",
    // "red", "blue"), or "on" when none stands out.
    QString StateText() const;

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void AnnounceState(const QString& before);

    bool active_ = false;
    std::uint32_t activeColour_ = 0x00FF00;
    std::uint32_t inactiveColour_ = 0x005500;
};
