#include <QApplication>

#include "FormTests.h"
#include "QtSuiteRunner.h"

// Usage: vantix_form_tests [Suite] [QtTest options]. Without a suite name all run.
int main(int argc, char** argv) {
    QApplication app(argc, argv);
    return RunQtSuites({
        {QStringLiteral("Layout"), &MakeLayoutTest},
        {QStringLiteral("Settings"), &MakeSettingsTest},
        {QStringLiteral("SettingsAttack"), &MakeSettingsAttackTest},
        {QStringLiteral("FileLoad"), &MakeFileLoadTest},
        {QStringLiteral("Commands"), &MakeCommandsTest},
        {QStringLiteral("InputDuringOperation"), &MakeInputDuringOperationTest},
        {QStringLiteral("KeysAndFocus"), &MakeKeysAndFocusTest},
        {QStringLiteral("Accessibility"), &MakeFormAccessibilityTest},
    });
}
