#include "ApplicationPreferences.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

namespace {

void writeFlag(const QString& path, bool value) {
    ASSERT_TRUE(QDir().mkpath(QFileInfo(path).absolutePath()));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\"><dict>"
                              "<key>IsRunningNewOutlook</key><%1/></dict></plist>\n")
                   .arg(value ? QStringLiteral("true") : QStringLiteral("false"))
                   .toUtf8());
}

TEST(ApplicationPreferencesTest, TheSandboxContainerWinsAndTheDomainAnswersForWhatItLacks) {
#ifdef Q_OS_MACOS
    GTEST_SKIP() << "the domain is the system's own preferences on macOS, which a test must not write";
#endif
    const QTemporaryDir home;
    const QString key = QStringLiteral("IsRunningNewOutlook");
    const ApplicationPreferences outlook(QStringLiteral("com.microsoft.Outlook"), home.filePath("config"),
                                         home.filePath("Library"));
    EXPECT_EQ(outlook.boolForKey(key), std::nullopt);

    writeFlag(outlook.standInPath(), true);
    EXPECT_EQ(outlook.boolForKey(key), true) << "no container: the domain answers";

    writeFlag(outlook.containerPath(), false);
    EXPECT_EQ(outlook.boolForKey(key), false) << "the container is where a sandboxed Outlook writes";
    EXPECT_TRUE(outlook.containerPath().endsWith(QStringLiteral(
        "/Library/Containers/com.microsoft.Outlook/Data/Library/Preferences/com.microsoft.Outlook.plist")));
    EXPECT_EQ(outlook.objectForKey(QStringLiteral("missing")), QVariant());
}

}  // namespace
