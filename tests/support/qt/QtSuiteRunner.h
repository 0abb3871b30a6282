#pragma once

#include <QCoreApplication>
#include <QStringList>
#include <QTest>
#include <cstdio>
#include <memory>
#include <utility>
#include <vector>

// Runs the named QtTest suites of one test executable: "program [Suite] [QtTest options]".
// Without a suite name every suite runs; the result is the number of failed test functions.
using QtSuiteFactory = std::unique_ptr<QObject> (*)();
using QtSuiteList = std::vector<std::pair<QString, QtSuiteFactory>>;

inline int RunQtSuites(const QtSuiteList& suites) {
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
