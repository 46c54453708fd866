#include "BRSLoginItemsService.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "PropertyList.h"

namespace {

class BRSLoginItemsServiceTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(root.isValid());
        application = makeExecutable(QStringLiteral("here/orlin-agent"));
        otherCopy = makeExecutable(QStringLiteral("elsewhere/orlin-agent"));
    }

    QString makeExecutable(const QString& relativePath) {
        const QString path = root.path() + QLatin1Char('/') + relativePath;
        QDir().mkpath(QFileInfo(path).absolutePath());
        QFile file(path);
        file.open(QIODevice::WriteOnly);
        file.close();
        file.setPermissions(file.permissions() | QFileDevice::ExeOwner);
        return path;
    }

    void addEntry(const QString& name, const QString& exec) {
        QDir().mkpath(folder);
        QFile file(folder + QLatin1Char('/') + name);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("[Desktop Entry]\nType=Application\nExec=" + exec.toUtf8() + "\n");
    }

    void addAgent(const QString& name, const QString& program, bool disabled = false) {
        QDir().mkpath(folder);
        ASSERT_TRUE(PropertyList::writeDictionary(folder + QLatin1Char('/') + name,
                                                  {{QStringLiteral("Label"), name},
                                                   {QStringLiteral("ProgramArguments"), QStringList{program}},
                                                   {QStringLiteral("Disabled"), disabled}}));
    }

    [[nodiscard]] QStringList names() const { return QDir(folder).entryList(QDir::Files, QDir::Name); }

    BRSLoginItemsService service() const {
        return BRSLoginItemsService(AutostartList(folder, AutostartList::Format::DesktopEntries),
                                    application);
    }

    QTemporaryDir root;
    QString folder = root.path() + QStringLiteral("/autostart");
    QString application;
    QString otherCopy;
};

TEST_F(BRSLoginItemsServiceTest, ToggleAddsExactlyOneEntryAtTheEndAndThenRemovesIt) {
    addEntry(QStringLiteral("other-copy.desktop"), otherCopy);
    addEntry(QStringLiteral("broken.desktop"), QStringLiteral("/no/such/program"));
    BRSLoginItemsService items = service();
    EXPECT_FALSE(items.isLaunchAtStartup()) << "another copy of the agent does not count";

    items.toggleLaunchAtStartup();
    EXPECT_TRUE(items.isLaunchAtStartup());
    const QStringList after = names();
    ASSERT_EQ(after.size(), 3);
    EXPECT_EQ(items.itemRefInLoginItems()->filePath, folder + QLatin1Char('/') + after.last());

    items.toggleLaunchAtStartup();
    EXPECT_FALSE(items.isLaunchAtStartup());
    EXPECT_EQ(names(), (QStringList{QStringLiteral("broken.desktop"), QStringLiteral("other-copy.desktop")}))
        << "neither the other copy nor the unresolvable entry is touched";
}

TEST_F(BRSLoginItemsServiceTest, WithTwoEntriesForTheAgentAToggleRemovesOnlyTheFirst) {
    addEntry(QStringLiteral("a.desktop"), application);
    QFile::link(application, root.path() + QStringLiteral("/agent-link"));
    addEntry(QStringLiteral("b.desktop"), root.path() + QStringLiteral("/agent-link --flag"));
    BRSLoginItemsService items = service();
    EXPECT_TRUE(items.itemRefInLoginItems()->filePath.endsWith(QStringLiteral("/a.desktop")));

    items.toggleLaunchAtStartup();
    EXPECT_EQ(names(), QStringList{QStringLiteral("b.desktop")});
    EXPECT_TRUE(items.isLaunchAtStartup()) << "the second entry still starts the agent";
}

TEST_F(BRSLoginItemsServiceTest, ToggleSwitchesTheAgentsOwnSwitchedOffEntryBackOn) {
    for (const QByteArray& switchedOff :
         {QByteArray("Hidden=true\n"), QByteArray("X-GNOME-Autostart-enabled=false\n")}) {
        QDir(folder).removeRecursively();
        addEntry(QStringLiteral("orlin.desktop"), application);
        QFile file(folder + QStringLiteral("/orlin.desktop"));
        ASSERT_TRUE(file.open(QIODevice::Append));
        file.write("Name=Mine\n" + switchedOff);
        file.close();
        // Someone else's switched-off entry is theirs to switch on.
        addEntry(QStringLiteral("other.desktop"), otherCopy + QStringLiteral("\nHidden=true"));
        BRSLoginItemsService items = service();
        ASSERT_FALSE(items.isLaunchAtStartup()) << switchedOff.constData();

        items.toggleLaunchAtStartup();
        EXPECT_TRUE(items.isLaunchAtStartup()) << switchedOff.constData();
        EXPECT_EQ(names(), (QStringList{QStringLiteral("orlin.desktop"), QStringLiteral("other.desktop")}))
            << "no second entry for the agent";
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        EXPECT_TRUE(file.readAll().contains("Name=Mine\n")) << "the user's own lines stay";
        file.close();

        items.toggleLaunchAtStartup();
        EXPECT_FALSE(items.isLaunchAtStartup());
        EXPECT_EQ(names(), QStringList{QStringLiteral("other.desktop")});
    }
}

TEST_F(BRSLoginItemsServiceTest,
       ALaunchAgentIsRefusedToATranslocatedCopyAndLabelledApartFromTheAdministrators) {
    makeExecutable(QStringLiteral("var/folders/x/T/AppTranslocation/0F1E/d/Orlin.app/Contents/MacOS/Orlin"));
    BRSLoginItemsService refused(
        AutostartList(folder, AutostartList::Format::LaunchAgents),
        root.path() + QStringLiteral("/var/folders/x/T/AppTranslocation/0F1E/d/Orlin.app"));
    EXPECT_EQ(refused.toggleLaunchAtStartup(), BRSLoginItemsService::Outcome::Translocated);
    EXPECT_FALSE(refused.isLaunchAtStartup());
    EXPECT_TRUE(names().isEmpty());

    BRSLoginItemsService items(AutostartList(folder, AutostartList::Format::LaunchAgents), application);
    EXPECT_EQ(items.toggleLaunchAtStartup(), BRSLoginItemsService::Outcome::Changed);
    ASSERT_TRUE(items.isLaunchAtStartup());
    const QString label = PropertyList::readDictionary(items.itemRefInLoginItems()->filePath)
                              ->value(QStringLiteral("Label"))
                              .toString();
    EXPECT_FALSE(label.isEmpty());
    // launchd loads only one job per label, so the administrator's agent for every user must not share it.
    const QDir samples(QStringLiteral(ORLIN_SOURCE_DIR "/resources/mdm"));
    int agents = 0;
    for (const QString& name : samples.entryList({QStringLiteral("*.plist")}, QDir::Files)) {
        const QVariant sample = PropertyList::readDictionary(samples.filePath(name))
                                    .value_or(QVariantMap{})
                                    .value(QStringLiteral("Label"));
        agents += sample.isValid() ? 1 : 0;
        EXPECT_NE(sample.toString(), label) << name.toStdString();
    }
    EXPECT_GT(agents, 0) << "the administrator's kit has a launch agent";
}

TEST_F(BRSLoginItemsServiceTest, TheSystemLoginItemIsOnOnlyWhenEnabledAndReplacesTheAgentsOwnLaunchAgents) {
    using Status = MacLoginItem::Status;
    Status status = Status::NotRegistered;
    // What the system makes of a registration; the user may still have to allow the item.
    Status registered = Status::Enabled;
    QStringList calls;
    const BRSLoginItemsService::SystemLoginItem system{
        [&] { return status; },
        [&](bool enabled, QString* error) {
            calls.append(enabled ? QStringLiteral("register") : QStringLiteral("unregister"));
            status = enabled ? registered : Status::NotRegistered;
            if (status == Status::RequiresApproval) {
                *error = QStringLiteral("Operation not permitted");
                return false;
            }
            return true;
        }};
    const auto items = [&](const QString& path) {
        return BRSLoginItemsService(AutostartList(folder, AutostartList::Format::LaunchAgents), path, system);
    };
    const QStringList leftovers{QStringLiteral("a.plist"), QStringLiteral("b.plist"),
                                QStringLiteral("c.plist")};
    addAgent(leftovers[0], application);
    addAgent(leftovers[1], application, true);
    addAgent(leftovers[2], otherCopy);

    for (const Status other : {Status::NotRegistered, Status::RequiresApproval, Status::NotFound}) {
        status = other;
        EXPECT_FALSE(items(application).isLaunchAtStartup()) << "an old launch agent does not count";
    }

    registered = Status::RequiresApproval;
    status = Status::NotRegistered;
    EXPECT_EQ(items(application).toggleLaunchAtStartup(), BRSLoginItemsService::Outcome::AwaitingApproval);
    EXPECT_FALSE(items(application).isLaunchAtStartup());
    EXPECT_EQ(names(), leftovers) << "the old agent starts Orlin until the user allows the new item";

    registered = Status::NotFound;
    EXPECT_EQ(items(application).toggleLaunchAtStartup(), BRSLoginItemsService::Outcome::Failed);
    EXPECT_EQ(names(), leftovers);

    registered = Status::Enabled;
    EXPECT_EQ(items(application).toggleLaunchAtStartup(), BRSLoginItemsService::Outcome::Changed);
    EXPECT_TRUE(items(application).isLaunchAtStartup());
    EXPECT_EQ(names(), QStringList{QStringLiteral("c.plist")}) << "only the other copy's agent stays";

    // Switched off in System Settings: the item reads as registered but not enabled, and the box as off.
    status = Status::RequiresApproval;
    EXPECT_FALSE(items(application).isLaunchAtStartup());
    status = Status::Enabled;
    EXPECT_EQ(items(application).toggleLaunchAtStartup(), BRSLoginItemsService::Outcome::Changed);
    EXPECT_EQ(status, Status::NotRegistered);

    // From a translocated copy the system is not even asked.
    calls.clear();
    const QString translocated = root.path() + QStringLiteral("/T/AppTranslocation/0F1E/d/Orlin.app");
    EXPECT_EQ(items(translocated).toggleLaunchAtStartup(), BRSLoginItemsService::Outcome::Translocated);
    EXPECT_TRUE(calls.isEmpty());
    EXPECT_EQ(status, Status::NotRegistered);
}

}  // namespace
