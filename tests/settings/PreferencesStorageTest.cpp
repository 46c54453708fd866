#include "PreferencesStorage.h"
#include "TestEnvironment.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include "BRSSettingsStorage.h"
#include "PropertyList.h"
#include "UserDefaults.h"

namespace {

class PreferencesStorageTest : public ::testing::Test {
protected:
    void SetUp() override { defaults.resetForTesting(); }
    void TearDown() override { defaults.resetForTesting(); }

    UserDefaults& defaults = testDefaults();
};

TEST_F(PreferencesStorageTest, NothingStoredGivesTheDefaults) {
    const Preferences p = PreferencesStorage(testDefaults()).getPreferences();
    EXPECT_FALSE(p.hideInfobox());
    EXPECT_FALSE(p.hideQuitMailInfobox());
    EXPECT_FALSE(p.updateSignaturesAutomatically());
    EXPECT_TRUE(p.updateSignaturesForOutlook());
    EXPECT_FALSE(p.updateSignaturesForMail());
    EXPECT_TRUE(p.isUsingICloudDrive());
    EXPECT_TRUE(p.repairInstalledSignatures());
}

TEST_F(PreferencesStorageTest, SettersAreSeenByTheNextSnapshotButNotByEarlierOnes) {
    const Preferences before = PreferencesStorage(testDefaults()).getPreferences();
    PreferencesStorage store(testDefaults());
    store.setUpdateSignaturesForOutlook(false);
    store.setIsUsingICloudDrive(false);
    store.setHideInfobox(true);
    store.setHideQuitMailInfobox(true);
    store.setUpdateSignaturesAutomatically(true);
    store.setUpdateSignaturesForMail(true);

    const Preferences after = PreferencesStorage(testDefaults()).getPreferences();
    EXPECT_FALSE(after.updateSignaturesForOutlook()) << "a stored NO is not the YES default";
    EXPECT_FALSE(after.isUsingICloudDrive());
    EXPECT_TRUE(after.hideInfobox());
    EXPECT_TRUE(after.hideQuitMailInfobox());
    EXPECT_TRUE(after.updateSignaturesAutomatically());
    EXPECT_TRUE(after.updateSignaturesForMail());
    EXPECT_TRUE(before.updateSignaturesForOutlook());
    EXPECT_FALSE(before.hideInfobox());
}

TEST_F(PreferencesStorageTest, CommandLineTextsReadAsBooleansAndOtherValuesCountAsAbsent) {
    defaults.setObject(QStringLiteral("perhaps"), QStringLiteral("updateSignaturesForOutlook"));
    defaults.setArgumentDomain({{QStringLiteral("hideInfobox"), QStringLiteral("YES")},
                                {QStringLiteral("isUsingICloudDrive"), QStringLiteral("0")},
                                {QStringLiteral("repairInstalledSignatures"), QStringLiteral("NO")}});
    const Preferences p = PreferencesStorage(testDefaults()).getPreferences();
    EXPECT_TRUE(p.hideInfobox());
    EXPECT_FALSE(p.isUsingICloudDrive());
    EXPECT_FALSE(p.repairInstalledSignatures());
    EXPECT_TRUE(p.updateSignaturesForOutlook());
}

TEST_F(PreferencesStorageTest, TheDomainTokenNeedsBothKeysAsText) {
    EXPECT_FALSE(PreferencesStorage(testDefaults()).getDomainTokenSetting().has_value());
    defaults.setObject(QStringLiteral("ann"), QStringLiteral("userName"));
    EXPECT_FALSE(PreferencesStorage(testDefaults()).getDomainTokenSetting().has_value());
    defaults.setObject(true, QStringLiteral("domainToken"));
    EXPECT_FALSE(PreferencesStorage(testDefaults()).getDomainTokenSetting().has_value())
        << "non-text counts as absent";

    defaults.setObject(QString(), QStringLiteral("domainToken"));
    const auto setting = PreferencesStorage(testDefaults()).getDomainTokenSetting();
    ASSERT_TRUE(setting.has_value());
    EXPECT_EQ(setting->userName(), QStringLiteral("ann"));
    EXPECT_TRUE(setting->domainToken().isEmpty());

    defaults.removeObjectForKey(QStringLiteral("userName"));
    EXPECT_FALSE(PreferencesStorage(testDefaults()).getDomainTokenSetting().has_value());
}

TEST_F(PreferencesStorageTest, ADeployedDomainTokenIsTheCredentialsWhateverItsLength) {
    defaults.setArgumentDomain({{QStringLiteral("userName"), QStringLiteral("ann")},
                                {QStringLiteral("domainToken"), QStringLiteral("dt")}});
    const BRSLoginCredentials credentials = BRSSettingsStorage(testDefaults()).getCredentials();
    EXPECT_TRUE(credentials.harDomainToken());
    EXPECT_EQ(credentials.userName(), QStringLiteral("ann"));

    defaults.setArgumentDomain(
        {{QStringLiteral("userName"), QStringLiteral("ann")}, {QStringLiteral("domainToken"), QString()}});
    const BRSLoginCredentials empty = BRSSettingsStorage(testDefaults()).getCredentials();
    EXPECT_EQ(empty.domainToken(), QString());
    EXPECT_FALSE(empty.harDomainToken());
    EXPECT_TRUE(empty.harCredentials());
}

TEST_F(PreferencesStorageTest, AManagedValueIsWhatIsReportedWhateverTheCommandLineAndTheUserSet) {
    QTemporaryDir folder;
    const QString managed = folder.path() + QStringLiteral("/managed.plist");
    ASSERT_TRUE(
        PropertyList::writeDictionary(managed, {{QStringLiteral("updateSignaturesForMail"), false},
                                                {QStringLiteral("hideInfobox"), QStringLiteral("YES")},
                                                {QStringLiteral("repairInstalledSignatures"), false}}));
    UserDefaults administered(
        UserDefaults::Locations{.userDomainPath = folder.path() + QStringLiteral("/user.plist"),
                                .suite = QString(),
                                .managedDomainPaths = {managed}});

    administered.setArgumentDomain({{QStringLiteral("updateSignaturesForMail"), QStringLiteral("YES")},
                                    {QStringLiteral("repairInstalledSignatures"), QStringLiteral("YES")}});
    PreferencesStorage(administered).setUpdateSignaturesForMail(true);
    PreferencesStorage(administered).setHideInfobox(false);
    const Preferences p = PreferencesStorage(administered).getPreferences();
    EXPECT_FALSE(p.updateSignaturesForMail());
    EXPECT_TRUE(p.hideInfobox());
    EXPECT_FALSE(p.repairInstalledSignatures());
}

// The sample an administrator starts from: a profile whose payloads macOS would refuse, or whose grants
// name another application, installs nothing useful and says nothing about it.
// The payloads of one of the administrator's sample profiles, by type; every payload UUID goes to `uuids`.
QMap<QString, QVariantMap> samplePayloads(const char* name, QStringList* uuids) {
    const std::optional<QVariantMap> profile = PropertyList::readDictionary(
        QStringLiteral(ORLIN_SOURCE_DIR "/resources/mdm/") + QLatin1String(name));
    EXPECT_TRUE(profile) << name;
    EXPECT_EQ(profile.value_or(QVariantMap()).value(QStringLiteral("PayloadType")),
              QStringLiteral("Configuration"));
    uuids->append(profile.value_or(QVariantMap()).value(QStringLiteral("PayloadUUID")).toString());
    QMap<QString, QVariantMap> payloads;
    for (const QVariant& entry :
         profile.value_or(QVariantMap()).value(QStringLiteral("PayloadContent")).toList()) {
        const QVariantMap payload = entry.toMap();
        EXPECT_TRUE(payload.value(QStringLiteral("PayloadIdentifier"))
                        .toString()
                        .startsWith(QLatin1String("com.halvex.Orlin.")));
        uuids->append(payload.value(QStringLiteral("PayloadUUID")).toString());
        payloads.insert(payload.value(QStringLiteral("PayloadType")).toString(), payload);
    }
    return payloads;
}

TEST(AdministratorProfileTest,
     TheSampleProfilesForceTheServiceAndSeparatelyAllowMailOutlookAndFullDiskAccess) {
    // The managed preferences may be installed by hand; the privacy payload only through MDM, so it is a
    // profile of its own.
    QStringList uuids;
    const QMap<QString, QVariantMap> preferences = samplePayloads("com.halvex.Orlin.mobileconfig", &uuids);
    EXPECT_EQ(preferences.keys(), QStringList{QStringLiteral("com.apple.ManagedClient.preferences")});
    const QMap<QString, QVariantMap> privacy =
        samplePayloads("com.halvex.Orlin.privacy.mobileconfig", &uuids);
    EXPECT_EQ(privacy.keys(), QStringList{QStringLiteral("com.apple.TCC.configuration-profile-policy")});
    uuids.removeDuplicates();
    EXPECT_EQ(uuids.size(), 4);

    const QVariantMap forced = preferences.value(QStringLiteral("com.apple.ManagedClient.preferences"))
                                   .value(QStringLiteral("PayloadContent"))
                                   .toMap()
                                   .value(QStringLiteral("com.halvex.Orlin"))
                                   .toMap()
                                   .value(QStringLiteral("Forced"))
                                   .toList()
                                   .value(0)
                                   .toMap()
                                   .value(QStringLiteral("mcx_preference_settings"))
                                   .toMap();
    EXPECT_EQ(forced.keys(), QStringList({QStringLiteral("appBaseUrl"), QStringLiteral("authBaseUrl"),
                                          QStringLiteral("euAppBaseUrl"), QStringLiteral("imageHostUrl")}));
    for (const QVariant& address : forced) {
        EXPECT_TRUE(address.toString().startsWith(QLatin1String("https://")))
            << address.toString().toStdString();
    }

    const QVariantMap services = privacy.value(QStringLiteral("com.apple.TCC.configuration-profile-policy"))
                                     .value(QStringLiteral("Services"))
                                     .toMap();
    QStringList receivers;
    for (const QVariant& entry : services.value(QStringLiteral("AppleEvents")).toList()) {
        const QVariantMap grant = entry.toMap();
        EXPECT_EQ(grant.value(QStringLiteral("Identifier")), QStringLiteral("com.halvex.Orlin"));
        EXPECT_EQ(grant.value(QStringLiteral("Authorization")), QStringLiteral("Allow"));
        EXPECT_FALSE(grant.contains(QStringLiteral("Allowed"))) << "the older key beside Authorization";
        receivers.append(grant.value(QStringLiteral("AEReceiverIdentifier")).toString());
    }
    // System Preferences is scripted by the iCloud help on macOS 11 and 12.
    EXPECT_EQ(receivers,
              QStringList({QStringLiteral("com.microsoft.Outlook"), QStringLiteral("com.apple.mail"),
                           QStringLiteral("com.apple.systempreferences")}));
    const QVariantList allFiles = services.value(QStringLiteral("SystemPolicyAllFiles")).toList();
    ASSERT_EQ(allFiles.size(), 1);
    EXPECT_EQ(allFiles.first().toMap().value(QStringLiteral("Identifier")),
              QStringLiteral("com.halvex.Orlin"));
    EXPECT_EQ(allFiles.first().toMap().value(QStringLiteral("IdentifierType")), QStringLiteral("bundleID"));
}

}  // namespace
