#include <QApplication>

#include "ControlTests.h"
#include "QtSuiteRunner.h"

// Usage: vantix_controls_tests [Suite] [QtTest options]. Without a suite name all run.
int main(int argc, char** argv) {
    QApplication app(argc, argv);
    return RunQtSuites({
        {QStringLiteral("HexLayout"), &MakeHexLayoutTest},
        {QStringLiteral("HexView"), &MakeHexViewTest},
        {QStringLiteral("SectionLabel"), &MakeSectionLabelTest},
        {QStringLiteral("StatusLabel"), &MakeStatusLabelTest},
        {QStringLiteral("Progress"), &MakeProgressTest},
        {QStringLiteral("Led"), &MakeLedTest},
        {QStringLiteral("MessageWindow"), &MakeMessageWindowTest},
        {QStringLiteral("Accessibility"), &MakeAccessibilityTest},
    });
}
