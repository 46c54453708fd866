#pragma once

class UserDefaults;

// The operating system's version as the installers see it. On macOS it is the real one. Elsewhere there is
// no macOS to ask, so the demo and the tests name one through the defaults key "simulatedSystemVersion"
// ("10.15", "10.11.6"…); without that key the version is 0.0.0, which no installer supports.
struct SystemVersion {
    // Read at every call, so a change of the defaults takes effect at once.
    [[nodiscard]] static SystemVersion operatingSystemVersion(const UserDefaults& defaults);

    int majorVersion = 0;
    int minorVersion = 0;
    int patchVersion = 0;
};
