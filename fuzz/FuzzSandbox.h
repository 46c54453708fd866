#pragma once

#include <QString>
#include <QTemporaryDir>

// A throw-away home for targets that write files: HOME and the XDG folders point into a fresh temporary
// folder and QStandardPaths runs in test mode, so no input can reach the user's own files. Make one
// before the first call into the product and keep it for the life of the process.
class FuzzSandbox final {
public:
    FuzzSandbox();

    [[nodiscard]] QString path(const QString& relative) const;
    // Removes everything inside `folder` and makes sure it exists, so each input starts from nothing.
    static void empty(const QString& folder);

private:
    QTemporaryDir root_;
};
