#include "Environment.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>
#include <QVariant>
#include <limits>

#include "FileSecretStore.h"
#include "PropertyList.h"
#include "SecretStore.h"
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
    QProcessEnvironment variables;
    variables.insert(QStringLiteral("ORLIN_OSASCRIPT"), QStringLiteral("fake-osascript"));
    QStringList problems;
    EXPECT_EQ(Environment::scriptProgramFrom(variables, &problems), ScriptProcess::systemProgram());
    EXPECT_TRUE(problems.contains(
        QStringLiteral("ORLIN_OSASCRIPT is not the absolute path of a program and is ignored.")))
        << problems.join(QLatin1Char('\n')).toStdString();
}

// What the tests and the demo build on: nothing of it may land outside its root, whatever the process's
// HOME and XDG variables say, and only the administrator's layer it is given is read.
TEST(EnvironmentTest, AnEnvironmentForARootKeepsItsFoldersDefaultsAndSecretsBelowIt) {
    const QTemporaryDir root;
    ASSERT_TRUE(root.isValid());
    const QString managed = root.filePath(QStringLiteral("managed.plist"));
    ASSERT_TRUE(PropertyList::writeDictionary(managed, {{QStringLiteral("forced"), QStringLiteral("x")}}));
    const Environment environment = Environment::forRoot(root.path(), QString(), {managed});

    const QString below = root.path() + QLatin1Char('/');
    const Environment::Folders& folders = environment.folders;
    for (const QString& folder :
         {folders.home, folders.applicationSupport, folders.library, folders.logs, folders.config}) {
        EXPECT_TRUE(folder.startsWith(below)) << folder.toStdString();
    }
    UserDefaults& defaults = environment.defaults();
    EXPECT_EQ(defaults.objectForKey(QStringLiteral("forced")), QVariant(QStringLiteral("x")));
    defaults.setBool(true, QStringLiteral("mine"));
    ASSERT_TRUE(defaults.synchronize());
    EXPECT_TRUE(defaults.userDomainPath().startsWith(below));
    EXPECT_TRUE(QFile::exists(defaults.userDomainPath()));

    ASSERT_EQ(environment.secretStore->add(QStringLiteral("service"), QStringLiteral("ann"), "secret"),
              SecretStore::Status::Success);
    EXPECT_TRUE(QFile::exists(FileSecretStore::pathIn(folders.applicationSupport)));
    EXPECT_TRUE(environment.script.program.isEmpty()) << "no script runs until a test names a program";
}

}  // namespace
