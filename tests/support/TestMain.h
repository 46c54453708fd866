#pragma once

// One application object for every test, with all of the agent's folders moved into a temporary home so
// that no test reads or writes the user's own files.

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include "TestHome.h"
#include "TestPreferencesSuite.h"
#include "UserDefaults.h"

template <typename Application>
int runAllTests(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);

    QTemporaryDir home;
    if (!home.isValid()) {
        return 1;
    }
    moveHomeTo(home.path());
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }

    Application app(argc, argv);
#ifdef Q_OS_MACOS
    // The system's preferences follow no home moved this late: the suite keeps the tests off the user's
    // real settings. Elsewhere the moved home already holds the defaults' file.
    const TestPreferencesSuite suite(UserDefaults::standardUserDefaults());
#endif
    return RUN_ALL_TESTS();
}
