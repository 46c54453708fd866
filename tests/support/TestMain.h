#pragma once

// One application object for every test, and one environment below a temporary root that every test
// shares, so that no test reads or writes the user's own files or settings.

#include <gtest/gtest.h>

#include <QStandardPaths>
#include <QTemporaryDir>

#include "TestEnvironment.h"

template <typename Application>
int runAllTests(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);

    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    // Whatever Qt itself keeps (its caches and settings) goes to a folder of its own, not the user's.
    QStandardPaths::setTestModeEnabled(true);

    Application app(argc, argv);
    QTemporaryDir root;
    if (!root.isValid()) {
        return 1;
    }
    enterTestRoot(root.path());
    const int result = RUN_ALL_TESTS();
    leaveTestRoot();
    return result;
}
