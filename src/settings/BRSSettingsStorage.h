#pragma once

#include <QString>
#include <optional>

#include "BRSLoginCredentials.h"

// Decides which credentials apply, and stores a renewed token. Stateless: make one per use.
//
// The keychain is not reachable from this build yet, so only an administrator's domain token counts and a
// token handed to setToken is not kept; credentials are otherwise never usable.
class BRSSettingsStorage final {
public:
    [[nodiscard]] BRSLoginCredentials getCredentials();
    void setToken(const std::optional<QString>& token, const std::optional<QString>& userName);
};
