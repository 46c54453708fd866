#include "UserDefaults.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include "FileSizeLimit.h"
#include "PropertyList.h"
#include "TestPreferencesSuite.h"
#include "XdgDirectories.h"

namespace {

// Defaults kept in a file of the test's own, below an administrator's layer in two folders.
class UserDefaultsTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(managedRoot.isValid()); }

    void deploy(const QString& folder, const QVariantMap& values) {
        const QString path =
            managedRoot.path() + QLatin1Char('/') + folder + QStringLiteral("/com.halvex.Orlin");
        ASSERT_TRUE(QDir().mkpath(path));
        ASSERT_TRUE(PropertyList::writeDictionary(path + QStringLiteral("/managed.plist"), values));
    }

    [[nodiscard]] UserDefaults::Locations locations() const {
        const QString managed = QStringLiteral("/com.halvex.Orlin/managed.plist");
        return {.userDomainPath = managedRoot.path() + QStringLiteral("/user/com.halvex.Orlin.plist"),
                .suite = QString(),
                .managedDomainPaths = {managedRoot.path() + QStringLiteral("/first") + managed,
                                       managedRoot.path() + QStringLiteral("/second") + managed}};
    }

    QTemporaryDir managedRoot;
    UserDefaults defaults{locations()};
};

TEST_F(UserDefaultsTest, CollectsKeyValuePairsAndLeavesTheRest) {
    QStringList rest;
    const QVariantMap domain = UserDefaults::argumentDomainFromArguments(
        {QStringLiteral("--headless"), QStringLiteral("-a"), QStringLiteral("1"), QStringLiteral("-a"),
         QStringLiteral("2"), QStringLiteral("-b"), QStringLiteral("--once"), QStringLiteral("-")},
        &rest);
    EXPECT_EQ(domain.value(QStringLiteral("a")).toString(), QStringLiteral("2")) << "a later pair wins";
    EXPECT_EQ(domain.value(QStringLiteral("b")).toString(), QStringLiteral("--once"));
    EXPECT_EQ(rest, (QStringList{QStringLiteral("--headless"), QStringLiteral("-")}));
}

TEST_F(UserDefaultsTest, ReadsBooleansTheWayTheDefaultsSystemDoes) {
    for (const char* yes : {"YES", "yes", "true", "TRUE", "1"}) {
        EXPECT_EQ(UserDefaults::boolFromValue(QString::fromLatin1(yes)), true) << yes;
    }
    for (const char* no : {"NO", "no", "false", "0"}) {
        EXPECT_EQ(UserDefaults::boolFromValue(QString::fromLatin1(no)), false) << no;
    }
    EXPECT_EQ(UserDefaults::boolFromValue(true), true);
    EXPECT_EQ(UserDefaults::boolFromValue(0), false);
    EXPECT_EQ(UserDefaults::boolFromValue(2), true);
    EXPECT_EQ(UserDefaults::boolFromValue(QStringLiteral("maybe")), std::nullopt);
    EXPECT_EQ(UserDefaults::boolFromValue(QStringList{}), std::nullopt);
    EXPECT_EQ(UserDefaults::boolFromValue(QVariant()), std::nullopt);
}

TEST_F(UserDefaultsTest, TheArgumentDomainOutranksTheUsersOwnValues) {
    defaults.setBool(false, QStringLiteral("k"));
    defaults.setBool(true, QStringLiteral("mine"));
    defaults.setArgumentDomain({{QStringLiteral("k"), QStringLiteral("YES")}});

    EXPECT_EQ(defaults.objectForKey(QStringLiteral("k")).toString(), QStringLiteral("YES"));
    const QVariantMap merged = defaults.dictionaryRepresentation();
    EXPECT_EQ(merged.value(QStringLiteral("k")).toString(), QStringLiteral("YES"));
    EXPECT_EQ(merged.value(QStringLiteral("mine")).toBool(), true);

    defaults.removeObjectForKey(QStringLiteral("mine"));
    EXPECT_FALSE(defaults.objectForKey(QStringLiteral("mine")).isValid());
    EXPECT_FALSE(defaults.dictionaryRepresentation().contains(QStringLiteral("mine")));
}

TEST_F(UserDefaultsTest, AManagedValueBeatsTheArgumentDomainAndTheUsersSetterAndTheFirstFolderWins) {
    deploy(QStringLiteral("first"), {{QStringLiteral("k"), false}});
    deploy(QStringLiteral("second"),
           {{QStringLiteral("k"), true}, {QStringLiteral("other"), QStringLiteral("2nd")}});
    defaults.synchronize();
    defaults.setArgumentDomain({{QStringLiteral("k"), QStringLiteral("YES")}});
    defaults.setBool(true, QStringLiteral("k"));

    EXPECT_EQ(defaults.objectForKey(QStringLiteral("k")), QVariant(false));
    EXPECT_EQ(defaults.dictionaryRepresentation().value(QStringLiteral("k")), QVariant(false));
    EXPECT_EQ(defaults.objectForKey(QStringLiteral("other")).toString(), QStringLiteral("2nd"));
    EXPECT_TRUE(defaults.objectIsForcedForKey(QStringLiteral("k")));
    EXPECT_FALSE(defaults.objectIsForcedForKey(QStringLiteral("mine")));

    ASSERT_TRUE(defaults.synchronize());
    const auto stored = PropertyList::readDictionary(defaults.userDomainPath());
    ASSERT_TRUE(stored.has_value());
    EXPECT_EQ(stored->value(QStringLiteral("k")), QVariant(true)) << "the user's own value is still kept";
    EXPECT_FALSE(stored->contains(QStringLiteral("other"))) << "managed values are never copied";
}

TEST_F(UserDefaultsTest, SynchronizeStoresPendingChangesAndPicksUpWhatOthersWrote) {
    defaults.setBool(true, QStringLiteral("hideInfobox"));
    defaults.setObject(QStringLiteral("text"), QStringLiteral("name"));
    ASSERT_TRUE(defaults.synchronize());

    // Another process adds a key and changes one of ours; a change of our own is still pending.
    QVariantMap onDisk = PropertyList::readDictionary(defaults.userDomainPath()).value();
    EXPECT_EQ(onDisk.value(QStringLiteral("hideInfobox")), QVariant(true));
    onDisk.insert(QStringLiteral("fromElsewhere"), 7);
    onDisk.insert(QStringLiteral("name"), QStringLiteral("changed"));
    ASSERT_TRUE(PropertyList::writeDictionary(defaults.userDomainPath(), onDisk));
    defaults.removeObjectForKey(QStringLiteral("hideInfobox"));

    EXPECT_EQ(defaults.objectForKey(QStringLiteral("name")).toString(), QStringLiteral("text"))
        << "nothing is read between synchronizations";
    ASSERT_TRUE(defaults.synchronize());
    EXPECT_EQ(defaults.objectForKey(QStringLiteral("fromElsewhere")).toLongLong(), 7);
    EXPECT_EQ(defaults.objectForKey(QStringLiteral("name")).toString(), QStringLiteral("changed"));
    EXPECT_FALSE(defaults.objectForKey(QStringLiteral("hideInfobox")).isValid());
    const QVariantMap stored = PropertyList::readDictionary(defaults.userDomainPath()).value();
    EXPECT_FALSE(stored.contains(QStringLiteral("hideInfobox")));
    EXPECT_EQ(stored.value(QStringLiteral("fromElsewhere")).toLongLong(), 7);

    // On a full disk the file stays as it was and the change stays pending for the next try.
    QFile file(defaults.userDomainPath());
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray before = file.readAll();
    file.close();
    defaults.setObject(QString(8192, QLatin1Char('x')), QStringLiteral("large"));
    {
        const FileSizeLimit full(before.size());
        EXPECT_FALSE(defaults.synchronize());
    }
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), before);
    file.close();
    EXPECT_TRUE(defaults.synchronize());
    EXPECT_EQ(PropertyList::readDictionary(defaults.userDomainPath())
                  ->value(QStringLiteral("large"))
                  .toString()
                  .size(),
              8192);
}

TEST_F(UserDefaultsTest, AWriteReachesTheDiskOnceTheEventLoopRuns) {
    defaults.setBool(true, QStringLiteral("queued"));
    EXPECT_FALSE(QFile::exists(defaults.userDomainPath()));
    QCoreApplication::processEvents();
    const auto stored = PropertyList::readDictionary(defaults.userDomainPath());
    ASSERT_TRUE(stored.has_value());
    EXPECT_EQ(stored->value(QStringLiteral("queued")), QVariant(true));
}

TEST_F(UserDefaultsTest, ResetForgetsEveryLayerButTheManagedOneWhichItReadsAgain) {
    defaults.setBool(true, QStringLiteral("mine"));
    ASSERT_TRUE(defaults.synchronize());
    defaults.setArgumentDomain({{QStringLiteral("arg"), QStringLiteral("1")}});
    deploy(QStringLiteral("second"), {{QStringLiteral("forced"), QStringLiteral("x")}});

    defaults.resetForTesting();
    EXPECT_EQ(defaults.dictionaryRepresentation(),
              (QVariantMap{{QStringLiteral("forced"), QStringLiteral("x")}}));
    defaults.synchronize();
    EXPECT_FALSE(defaults.objectForKey(QStringLiteral("mine")).isValid()) << "the stored file is gone too";
}

TEST_F(UserDefaultsTest, ASuiteKeepsItsOwnDomainAndReadsNoAdministratorsValues) {
#ifdef Q_OS_MACOS
    GTEST_SKIP() << "reads the suite's plist file; on macOS the suite would be the demo's real preferences "
                    "domain";
#endif
    deploy(QStringLiteral("first"),
           {{QStringLiteral("authBaseUrl"), QStringLiteral("https://real.example/")}});
    defaults.setBool(true, QStringLiteral("mine"));
    ASSERT_TRUE(defaults.synchronize());
    const QString realPath = defaults.userDomainPath();

    defaults.useSuite(QStringLiteral("com.halvex.Orlin.demo"));
    EXPECT_TRUE(defaults.managedDomainPaths().isEmpty());
    EXPECT_FALSE(defaults.objectForKey(QStringLiteral("authBaseUrl")).isValid());
    EXPECT_FALSE(defaults.objectForKey(QStringLiteral("mine")).isValid());
    defaults.setBool(false, QStringLiteral("mine"));
    ASSERT_TRUE(defaults.synchronize());
    EXPECT_TRUE(defaults.userDomainPath().endsWith(QStringLiteral("/com.halvex.Orlin.demo.plist")));
    EXPECT_EQ(PropertyList::readDictionary(realPath)->value(QStringLiteral("mine")), QVariant(true));

    const UserDefaults original(locations());
    EXPECT_EQ(original.objectForKey(QStringLiteral("mine")), QVariant(true));
    EXPECT_EQ(original.objectForKey(QStringLiteral("authBaseUrl")).toString(),
              QStringLiteral("https://real.example/"));
}

// The demo's own defaults: its file only, no administrator's layer whatever the process's folders hold,
// and nothing of the process's own defaults seen or changed.
TEST_F(UserDefaultsTest, DefaultsMadeForGivenLocationsKeepToThemAndWriteWhatIsPendingWhenTheyGo) {
#ifdef Q_OS_MACOS
    GTEST_SKIP() << "reads the plist file of a suite; macOS keeps a suite's domain in its preferences daemon";
#endif
    deploy(QStringLiteral("first"), {{QStringLiteral("forced"), QStringLiteral("x")}});
    defaults.setBool(true, QStringLiteral("mine"));
    ASSERT_TRUE(defaults.synchronize());
    QTemporaryDir sandbox;
    ASSERT_TRUE(sandbox.isValid());
    const QString path = sandbox.path() + QStringLiteral("/config/com.halvex.Orlin.plist");

    {
        UserDefaults own(UserDefaults::Locations{.userDomainPath = path,
                                                 .suite = QStringLiteral("com.halvex.Orlin.demo"),
                                                 .managedDomainPaths = {}});
        EXPECT_EQ(own.userDomainPath(), path);
        EXPECT_TRUE(own.managedDomainPaths().isEmpty());
        EXPECT_TRUE(own.dictionaryRepresentation().isEmpty());
        own.setBool(false, QStringLiteral("mine"));
        QCoreApplication::processEvents();
        EXPECT_EQ(PropertyList::readDictionary(path).value_or(QVariantMap()).value(QStringLiteral("mine")),
                  QVariant(false));
        own.setObject(QStringLiteral("late"), QStringLiteral("pending"));
    }
    // The queued write of an instance that has gone must not run into it.
    QCoreApplication::processEvents();
    EXPECT_EQ(PropertyList::readDictionary(path).value_or(QVariantMap()).value(QStringLiteral("pending")),
              QVariant(QStringLiteral("late")));
    EXPECT_EQ(defaults.objectForKey(QStringLiteral("mine")), QVariant(true));
    EXPECT_EQ(defaults.objectForKey(QStringLiteral("forced")), QVariant(QStringLiteral("x")));
}

TEST_F(UserDefaultsTest, AnUnreadableUserDomainReadsAsEmptyAndAManagedFolderListIgnoresRelativeEntries) {
    QDir().mkpath(QFileInfo(defaults.userDomainPath()).absolutePath());
    QFile file(defaults.userDomainPath());
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("<plist><dict><key>broken");
    file.close();
    EXPECT_TRUE(defaults.synchronize());
    EXPECT_TRUE(defaults.dictionaryRepresentation().isEmpty());

    QProcessEnvironment variables;
    variables.insert(QStringLiteral("XDG_CONFIG_DIRS"), QStringLiteral("relative/dir::/etc/site//xdg"));
    variables.insert(QStringLiteral("XDG_CONFIG_HOME"), QStringLiteral("relative"));
    variables.insert(QStringLiteral("XDG_STATE_HOME"), QStringLiteral("/state/"));
    const XdgDirectories named(variables, QStringLiteral("/home/ann"));
    EXPECT_EQ(named.configDirs(), QStringList{QStringLiteral("/etc/site/xdg")});
    EXPECT_EQ(named.configHome(), QStringLiteral("/home/ann/.config"));
    EXPECT_EQ(named.dataHome(), QStringLiteral("/home/ann/.local/share"));
    EXPECT_EQ(named.stateHome(), QStringLiteral("/state"));
    EXPECT_EQ(XdgDirectories(QProcessEnvironment(), QStringLiteral("/home/ann")).configDirs(),
              QStringList{QStringLiteral("/etc/xdg")});
}

// What a test takes for defaults that macOS keeps in its preferences: a suite apart from the domain it had,
// empty when taken even where a crashed run of the same name left values, without an administrator's layer,
// and gone with everything written to it once it goes.
TEST_F(UserDefaultsTest, ATestSuiteStartsEmptyKeepsToItselfAndLeavesNothingBehind) {
    deploy(QStringLiteral("first"), {{QStringLiteral("forced"), QStringLiteral("x")}});
    defaults.setBool(true, QStringLiteral("mine"));
    ASSERT_TRUE(defaults.synchronize());
    const QString name = TestPreferencesSuite::processSuiteName() + QStringLiteral(".nested");
    const QString folder = QFileInfo(defaults.userDomainPath()).absolutePath();
    const UserDefaults::Locations locations{
        .userDomainPath = folder + QLatin1Char('/') + name + QStringLiteral(".plist"),
        .suite = name,
        .managedDomainPaths = {}};
    {
        UserDefaults leftOver(locations);
        leftOver.setBool(true, QStringLiteral("stale"));
    }

    QString stored;
    {
        const TestPreferencesSuite suite(defaults, name);
        EXPECT_EQ(defaults.suiteName(), name);
        EXPECT_TRUE(defaults.dictionaryRepresentation().isEmpty())
            << "neither the stale value, the process's own nor the administrator's";
        defaults.setBool(true, QStringLiteral("written"));
        ASSERT_TRUE(defaults.synchronize());
        stored = defaults.userDomainPath();
#ifndef Q_OS_MACOS
        ASSERT_TRUE(QFile::exists(stored));
#endif
    }
    EXPECT_FALSE(QFile::exists(stored));
    EXPECT_TRUE(UserDefaults(locations).dictionaryRepresentation().isEmpty());

    EXPECT_EQ(UserDefaults(UserDefaultsTest::locations()).objectForKey(QStringLiteral("mine")),
              QVariant(true));
}

}  // namespace
