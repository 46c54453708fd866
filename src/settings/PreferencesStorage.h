#pragma once

#include <optional>

#include "DomainTokenSettings.h"
#include "Preferences.h"

class UserDefaults;

// The user's settings in the application's defaults. Stateless: make one, use it, drop it; every read
// goes back to the defaults, so it sees what an administrator or another process changed meanwhile.
class PreferencesStorage final {
public:
    explicit PreferencesStorage(UserDefaults& userDefaults);

    void synchronize();
    [[nodiscard]] Preferences getPreferences();
    [[nodiscard]] std::optional<DomainTokenSettings> getDomainTokenSetting();

    void setHideInfobox(bool value);
    void setHideQuitMailInfobox(bool value);
    void setUpdateSignaturesAutomatically(bool value);
    void setUpdateSignaturesForOutlook(bool value);
    void setUpdateSignaturesForMail(bool value);
    void setIsUsingICloudDrive(bool value);

private:
    UserDefaults& userDefaults_;
};
