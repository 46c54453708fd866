#pragma once

#include <QString>
#include <QVariant>
#include <optional>

// Another application's preferences, read only: what that application has stored for itself, so the agent
// can adapt to how the user runs it. Read afresh at every call, since the user may switch modes while the
// agent runs.
//
// A sandboxed application keeps its preferences in its container
// (<Library>/Containers/<id>/Data/Library/Preferences/<id>.plist), which a process outside the sandbox
// does not reach through the system's preferences: a key found there wins. Otherwise macOS reads the
// application's domain through the system's preferences; Linux reads the stand-in file
// <config folder>/<application id>.plist.
class ApplicationPreferences final {
public:
    // `configFolder` holds the Linux stand-ins; `libraryFolder` is the user's Library, with the containers.
    ApplicationPreferences(QString applicationId, QString configFolder, QString libraryFolder);

    // Invalid when the application has no value for the key (or no preferences at all).
    [[nodiscard]] QVariant objectForKey(const QString& key) const;
    // Nothing when the key is absent or does not read as a boolean.
    [[nodiscard]] std::optional<bool> boolForKey(const QString& key) const;

    // Where Linux keeps the stand-in for the application's domain.
    [[nodiscard]] QString standInPath() const;
    // Where the application, when sandboxed, keeps its preferences.
    [[nodiscard]] QString containerPath() const;

private:
    [[nodiscard]] QVariant domainObjectForKey(const QString& key) const;

    QString applicationId_;
    QString configFolder_;
    QString libraryFolder_;
};
