#include <QApplication>
#include <QStringList>
#include <QTest>
#include <cstdio>
#include <utility>
#include <vector>

#include "FormTests.h"

// Usage: vantix_form_tests [Suite] [QtTest options]. Without a suite name all run.
int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const std::vector<std::pair<QString, std::unique_ptr<QObject> (*)()>> suites = {
        {QStringLiteral("Layout"), &MakeLayoutTest},
        {QStringLiteral("Settings"), &MakeSettingsTest},
        {QStringLiteral("SettingsAttack"), &MakeSettingsAttackTest},
        {QStringLiteral("FileLoad"), &MakeFileLoadTest},
        {QStringLiteral("Commands"), &MakeCommandsTest},
    };
    QStringList args = QCoreApplication::arguments();
    QString only;
    if (args.size() > 1 && !args[1].startsWith(QLatin1Char('-'))) {
        only = args.takeAt(1);
    }
    int failures = 0;
    bool ran = false;
    for (const auto& [name, make] : suites) {
        if (only.isEmpty() || only == name) {
            ran = true;
            const std::unique_ptr<QObject> suite = make();
            failures += QTest::qExec(suite.get(), args);
        }
    }
    if (!ran) {
        std::fprintf(stderr, "no test suite named %s\n", qPrintable(only));
        return 1;
    }
    return failures;
}
