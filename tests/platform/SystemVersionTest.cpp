#include "SystemVersion.h"

#include <gtest/gtest.h>

#include "TestEnvironment.h"
#include "UserDefaults.h"

namespace {

::testing::AssertionResult reads(const QString& text, int major, int minor, int patch) {
    const SystemVersion version = SystemVersion::fromText(text);
    if (version.majorVersion == major && version.minorVersion == minor && version.patchVersion == patch) {
        return ::testing::AssertionSuccess();
    }
    return ::testing::AssertionFailure() << '"' << text.toStdString() << "\" read as " << version.majorVersion
                                         << '.' << version.minorVersion << '.' << version.patchVersion;
}

TEST(SystemVersionTest, VersionTextReadsWholeOrNotAtAll) {
    EXPECT_TRUE(reads(QStringLiteral("14.2.1"), 14, 2, 1));
    EXPECT_TRUE(reads(QStringLiteral("10.10"), 10, 10, 0)) << "not 10.1";
    EXPECT_TRUE(reads(QStringLiteral(" 13\n"), 13, 0, 0)) << "as the kernel or a file may end it";
    for (const char* rejected : {"", "macOS 13", "13.4.1 (a)", "13.", "x"}) {
        EXPECT_TRUE(reads(QString::fromLatin1(rejected), 0, 0, 0));
    }
}

TEST(SystemVersionTest, TheOperatingSystemsVersion) {
    UserDefaults& defaults = testDefaults();
    defaults.resetForTesting();
#ifdef Q_OS_MACOS
    // A build with an older SDK is answered the compatibility version 10.16 by Qt and Foundation.
    const SystemVersion version = SystemVersion::operatingSystemVersion(defaults);
    EXPECT_GE(version.majorVersion, 11);
#else
    EXPECT_EQ(SystemVersion::operatingSystemVersion(defaults).majorVersion, 0);
    defaults.setArgumentDomain({{QStringLiteral("simulatedSystemVersion"), QStringLiteral("10.11.6")}});
    const SystemVersion version = SystemVersion::operatingSystemVersion(defaults);
    EXPECT_EQ(version.majorVersion, 10);
    EXPECT_EQ(version.minorVersion, 11);
    EXPECT_EQ(version.patchVersion, 6);
    defaults.setArgumentDomain({{QStringLiteral("simulatedSystemVersion"), 10.10}});
    EXPECT_EQ(SystemVersion::operatingSystemVersion(defaults).majorVersion, 0)
        << "a number loses 10.10's zero";
#endif
}

}  // namespace
