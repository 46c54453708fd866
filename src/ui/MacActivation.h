#pragma once

// Brings this application to the front with keyboard focus, as a window of an agent (which has no Dock
// icon) needs before the user can type into it. macOS only.
class MacActivation final {
public:
    MacActivation() = delete;

    static void activateIgnoringOtherApps();
};
