#pragma once

#include <QDialog>

// The About box: caption, program icon, one line of text and an OK button, laid out in
// dialog units of the form's font (235 x 55).
class CAboutDialog : public QDialog {
    Q_OBJECT

public:
    static constexpr const char* kCaption = "About Zezoreva DAV Izizovevu";
    static constexpr const char* kText = "Zezoreva DAV Izizovevu Ver 1.3";

    explicit CAboutDialog(QWidget* parent = nullptr);
};
