#include "BRSLoginItemsService.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

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

}  // namespace
