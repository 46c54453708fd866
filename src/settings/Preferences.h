#pragma once

class PreferencesStorage;

// A snapshot of the user's six settings and of the administrator's repair switch, taken by
// PreferencesStorage::getPreferences and never changed.
class Preferences final {
public:
    [[nodiscard]] bool hideInfobox() const { return hideInfobox_; }
    [[nodiscard]] bool hideQuitMailInfobox() const { return hideQuitMailInfobox_; }
    [[nodiscard]] bool updateSignaturesAutomatically() const { return updateSignaturesAutomatically_; }
    [[nodiscard]] bool updateSignaturesForOutlook() const { return updateSignaturesForOutlook_; }
    [[nodiscard]] bool updateSignaturesForMail() const { return updateSignaturesForMail_; }
    [[nodiscard]] bool isUsingICloudDrive() const { return isUsingICloudDrive_; }
    // Whether a check counts an Apple Mail signature file that no longer holds what Orlin wrote as changed.
    [[nodiscard]] bool repairInstalledSignatures() const { return repairInstalledSignatures_; }

private:
    friend class PreferencesStorage;
    Preferences() = default;

    bool hideInfobox_ = false;
    bool hideQuitMailInfobox_ = false;
    bool updateSignaturesAutomatically_ = false;
    bool updateSignaturesForOutlook_ = true;
    bool updateSignaturesForMail_ = false;
    bool isUsingICloudDrive_ = true;
    bool repairInstalledSignatures_ = true;
};
