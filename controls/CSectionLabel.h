#pragma once

#include <QColor>
#include <QString>
#include <QWidget>

#include "SectionLabelGeometry.h"

// A section heading: the caption and an etched line running to the edge of the control, like
// a group box title without the box. The caption is held here and repaints at once when it
// changes; '&' works as in button captions ("&&" shows one ampersand).
class CSectionLabel : public QWidget {
    Q_OBJECT

public:
    using Alignment = SectionLabelGeometry::Alignment;

    explicit CSectionLabel(QWidget* parent = nullptr);
    CSectionLabel(const QString& text, QWidget* parent = nullptr);

    void SetText(const QString& text);
    const QString& Text() const { return text_; }
    void SetAlignment(Alignment alignment);
    Alignment GetAlignment() const { return alignment_; }
    // Caption turned by 90 degrees (reading upward) and the line running down.
    void SetVertical(bool vertical);
    bool Vertical() const { return vertical_; }

    // The caption's placement and the bands for the current size, text and font.
    SectionLabelGeometry Geometry() const;

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QColor textColour_;
    QColor shadowColour_;
    QColor highlightColour_;
    bool vertical_ = false;
    Alignment alignment_ = Alignment::Left;
    QString text_;
};
