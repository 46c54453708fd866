#pragma once

#include <QString>

class UserDefaults;

// The operating system's version as the installers see it. On macOS it is the real one, even for a bundle
// built with an SDK older than the running system (the system then answers such a process "10.16"). Elsewhere
// there is no macOS to ask, so the demo and the tests name one through the defaults key
// "simulatedSystemVersion" ("10.15", "10.11.6"…); without that key the version is 0.0.0, which no installer
// supports.
struct SystemVersion {
    // Read at every call, so a change of the defaults takes effect at once.
    [[nodiscard]] static SystemVersion operatingSystemVersion(const UserDefaults& defaults);
    // "13", "10.15" or "14.2.1", with surrounding white space; 0.0.0 for anything else, so that text which
    // is no version is never taken for one.
    [[nodiscard]] static SystemVersion fromText(const QString& text);

    int majorVersion = 0;
    int minorVersion = 0;
    int patchVersion = 0;
};
