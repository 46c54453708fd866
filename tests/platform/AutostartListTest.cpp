#include "AutostartList.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "FileSizeLimit.h"
#include "PropertyList.h"

namespace {

class AutostartListTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(root.isValid());
        ASSERT_TRUE(QDir().mkpath(folder));
    }

    QString makeExecutable(const QString& relativePath) {
        const QString path = root.path() + QLatin1Char('/') + relativePath;
        QDir().mkpath(QFileInfo(path).absolutePath());
        QFile file(path);
        file.open(QIODevice::WriteOnly);
        file.write("#!/bin/sh\n");
        file.close();
        file.setPermissions(file.permissions() | QFileDevice::ExeOwner);
        return QFileInfo(path).canonicalFilePath();
    }

    void writeEntry(const QString& name, const QByteArray& contents) {
        QFile file(folder + QLatin1Char('/') + name);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(contents);
    }

    QTemporaryDir root;
    QString folder = root.path() + QStringLiteral("/autostart");
};

TEST_F(AutostartListTest, DesktopEntriesResolveThroughTheirExecLineInFileNameOrder) {
    const QString spaced = makeExecutable(QStringLiteral("my apps/or$lin"));
    const QString plain = makeExecutable(QStringLiteral("bin/agent"));
    QFile::link(plain, root.path() + QStringLiteral("/bin/link"));
    writeEntry(QStringLiteral("b.desktop"),
               "[Desktop Entry]\nExec=\"" + (root.path() + QStringLiteral("/my apps/or\\\\$lin")).toUtf8() +
                   "\" --flag %U\n");
    writeEntry(QStringLiteral("a.desktop"), "[Other]\nExec=/nowhere\n[Desktop Entry]\nName=x\nExec=" +
                                                (root.path() + QStringLiteral("/bin/link")).toUtf8() +
                                                " -x\n");
    writeEntry(QStringLiteral("c.desktop"), "[Desktop Entry]\nExec=" + plain.toUtf8() + "\nHidden=true\n");
    writeEntry(QStringLiteral("d.desktop"), "[Desktop Entry]\nExec=/does/not/exist\n");
    writeEntry(QStringLiteral("e.txt"), "[Desktop Entry]\nExec=" + plain.toUtf8() + "\n");

    const QList<AutostartList::Entry> entries =
        AutostartList(folder, AutostartList::Format::DesktopEntries).entries();
    ASSERT_EQ(entries.size(), 4);
    EXPECT_TRUE(entries[0].filePath.endsWith(QStringLiteral("/a.desktop")));
    EXPECT_EQ(entries[0].target, plain) << "symbolic links are resolved; other groups are ignored";
    EXPECT_EQ(entries[1].target, spaced);
    EXPECT_EQ(entries[2].target, std::nullopt) << "a hidden entry starts nothing";
    EXPECT_EQ(entries[3].target, std::nullopt);
}

TEST_F(AutostartListTest, AnAppendedEntrySortsLastAndStartsTheApplicationWhateverItsPath) {
    const QString awkward = makeExecutable(QStringLiteral("odd dir/a \"b\" $c\\d%e"));
    writeEntry(QStringLiteral("zzz.desktop"), "[Desktop Entry]\nExec=/does/not/exist\n");
    AutostartList list(folder, AutostartList::Format::DesktopEntries);

    const auto added = list.append(awkward);
    ASSERT_TRUE(added.has_value());
    EXPECT_EQ(added->target, awkward);
    const QList<AutostartList::Entry> entries = list.entries();
    ASSERT_EQ(entries.size(), 2);
    EXPECT_EQ(entries.last().filePath, added->filePath);

    QFile file(added->filePath);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray contents = file.readAll();
    EXPECT_TRUE(contents.contains("X-GNOME-Autostart-Delay=")) << "the panel must be up before the agent";
    EXPECT_TRUE(contents.contains("X-LXQt-Need-Tray=true"));

    EXPECT_TRUE(list.remove(*added));
    EXPECT_EQ(list.entries().size(), 1);

    // On a full disk nothing is added, not even an empty or half-written entry.
    {
        const FileSizeLimit full(16);
        EXPECT_FALSE(list.append(awkward).has_value());
    }
    EXPECT_EQ(QDir(folder).entryList(QDir::Files | QDir::Hidden), QStringList{QStringLiteral("zzz.desktop")});
}

TEST_F(AutostartListTest, LaunchAgentsResolveAnExecutableInsideABundleToTheBundle) {
    const QString executable = makeExecutable(QStringLiteral("Apps/Orlin.app/Contents/MacOS/Orlin"));
    const QString bundle = root.path() + QStringLiteral("/Apps/Orlin.app");
    ASSERT_TRUE(
        PropertyList::writeDictionary(folder + QStringLiteral("/a.plist"),
                                      {{QStringLiteral("Label"), QStringLiteral("a")},
                                       {QStringLiteral("ProgramArguments"), QStringList{executable}}}));
    ASSERT_TRUE(PropertyList::writeDictionary(
        folder + QStringLiteral("/b.plist"),
        {{QStringLiteral("Program"), executable}, {QStringLiteral("Disabled"), true}}));
    AutostartList list(folder, AutostartList::Format::LaunchAgents);

    QList<AutostartList::Entry> entries = list.entries();
    ASSERT_EQ(entries.size(), 2);
    EXPECT_EQ(entries[0].target, QFileInfo(bundle).canonicalFilePath());
    EXPECT_EQ(entries[1].target, std::nullopt) << "a disabled agent starts nothing";
    EXPECT_EQ(entries[1].switchedOffTarget, QFileInfo(bundle).canonicalFilePath());
    const auto switchedOn = list.switchOn(entries[1]);
    ASSERT_TRUE(switchedOn.has_value());
    EXPECT_EQ(switchedOn->target, QFileInfo(bundle).canonicalFilePath());
    EXPECT_EQ(PropertyList::readDictionary(entries[1].filePath)->value(QStringLiteral("Program")),
              executable);
    ASSERT_TRUE(PropertyList::writeDictionary(
        entries[1].filePath, {{QStringLiteral("Program"), executable}, {QStringLiteral("Disabled"), true}}));

    const auto added = list.append(bundle);
    ASSERT_TRUE(added.has_value());
    EXPECT_EQ(added->target, QFileInfo(bundle).canonicalFilePath());
    EXPECT_EQ(list.entries().last().filePath, added->filePath);
    const QVariantMap agent = PropertyList::readDictionary(added->filePath).value();
    EXPECT_EQ(agent.value(QStringLiteral("RunAtLoad")), QVariant(true));
    EXPECT_EQ(agent.value(QStringLiteral("ProgramArguments")).toStringList(),
              QStringList{bundle + QStringLiteral("/Contents/MacOS/Orlin")});
    EXPECT_EQ(agent.value(QStringLiteral("ProcessType")).toString(), QStringLiteral("Interactive"));
    EXPECT_EQ(agent.value(QStringLiteral("LimitLoadToSessionType")).toString(), QStringLiteral("Aqua"));
    EXPECT_EQ(agent.value(QStringLiteral("AssociatedBundleIdentifiers")).toStringList(),
              QStringList{QStringLiteral("com.halvex.Orlin")});
    EXPECT_EQ(agent.value(QStringLiteral("Label")).toString(), QStringLiteral("com.halvex.Orlin.login"));

    // Even when its file name has to sort after another's, the label stays the agent's own.
    ASSERT_TRUE(list.remove(*added));
    ASSERT_TRUE(PropertyList::writeDictionary(folder + QStringLiteral("/zz.plist"),
                                              {{QStringLiteral("Label"), QStringLiteral("zz")}}));
    const auto late = list.append(bundle);
    ASSERT_TRUE(late.has_value());
    EXPECT_EQ(list.entries().last().filePath, late->filePath);
    EXPECT_EQ(PropertyList::readDictionary(late->filePath)->value(QStringLiteral("Label")).toString(),
              QStringLiteral("com.halvex.Orlin.login"));
}

}  // namespace
