#pragma once

#include <QObject>
#include <memory>

// The suites of the form's test executable; main() runs one by name or all of them.
std::unique_ptr<QObject> MakeLayoutTest();
std::unique_ptr<QObject> MakeSettingsTest();
std::unique_ptr<QObject> MakeSettingsAttackTest();
std::unique_ptr<QObject> MakeFileLoadTest();
std::unique_ptr<QObject> MakeCommandsTest();
std::unique_ptr<QObject> MakeInputDuringOperationTest();
std::unique_ptr<QObject> MakeKeysAndFocusTest();
std::unique_ptr<QObject> MakeFormAccessibilityTest();
