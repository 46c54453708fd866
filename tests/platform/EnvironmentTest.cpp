#include "Environment.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <QVariant>
#include <limits>

#include "UserDefaults.h"

namespace {

using std::chrono::milliseconds;

TEST(EnvironmentTest, AScriptTimeOutOutsideASecondToAnHourGivesTheDefaultAndSaysSo) {
    const QTemporaryDir folder;
    UserDefaults defaults(
        UserDefaults::Locations{.userDomainPath = folder.filePath(QStringLiteral("defaults.plist")),
                                .suite = {},
                                .managedDomainPaths = {}});
    const auto timeoutFor = [&defaults](const QVariant& value, QStringList* problems) {
        defaults.setArgumentDomain({{QStringLiteral("scriptTimeoutSeconds"), value}});
        return Environment::scriptTimeoutFrom(defaults, problems);
    };

    QStringList problems;
    EXPECT_EQ(timeoutFor(10, &problems), milliseconds(10'000));
    EXPECT_EQ(timeoutFor(QStringLiteral("2.5"), &problems), milliseconds(2'500));
    EXPECT_EQ(timeoutFor(1, &problems), milliseconds(1'000));
    EXPECT_EQ(timeoutFor(3600, &problems), milliseconds(3'600'000));
    EXPECT_EQ(problems, QStringList());

    const QVariant refused[] = {0,
                                -5,
                                0.0001,
                                3600.5,
                                4294967.296,
                                1e30,
                                std::numeric_limits<double>::infinity(),
                                std::numeric_limits<double>::quiet_NaN(),
                                QStringLiteral("inf"),
                                QStringLiteral("soon")};
    for (const QVariant& value : refused) {
        SCOPED_TRACE(value.toString().toStdString());
        problems.clear();
        EXPECT_EQ(timeoutFor(value, &problems), milliseconds(150'000));
        ASSERT_EQ(problems.size(), 1);
        EXPECT_TRUE(problems.first().contains(QStringLiteral("scriptTimeoutSeconds")))
            << problems.first().toStdString();
    }
    defaults.setArgumentDomain({});
    problems.clear();
    EXPECT_EQ(Environment::scriptTimeoutFrom(defaults, &problems), milliseconds(150'000));
    EXPECT_EQ(problems, QStringList()) << "no value is nothing to warn about";
}

// Only an absolute path names the simulator: a relative one would run whatever the working folder holds.
TEST(EnvironmentTest, ARelativeScriptStandInIsRefusedWithItsMessage) {
    const QByteArray saved = qgetenv("ORLIN_OSASCRIPT");
    qputenv("ORLIN_OSASCRIPT", "fake-osascript");
    QStringList problems;
    const Environment environment = Environment::fromProcess(&problems);
    saved.isNull() ? qunsetenv("ORLIN_OSASCRIPT") : qputenv("ORLIN_OSASCRIPT", saved);

    EXPECT_EQ(environment.script.program, ScriptProcess::systemProgram());
    EXPECT_TRUE(problems.contains(
        QStringLiteral("ORLIN_OSASCRIPT is not the absolute path of a program and is ignored.")))
        << problems.join(QLatin1Char('\n')).toStdString();
}

}  // namespace
