#include "FuzzSandbox.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <cstdlib>

FuzzSandbox::FuzzSandbox() : root_(QDir::tempPath() + QStringLiteral("/orlin-fuzz-XXXXXX")) {
    if (!root_.isValid()) {
        // Without it the product would write below the real home.
        std::abort();
    }
    const QByteArray home = root_.path().toUtf8();
    qputenv("HOME", home);
    qputenv("XDG_DATA_HOME", home + "/data");
    qputenv("XDG_CONFIG_HOME", home + "/config");
    qputenv("XDG_STATE_HOME", home + "/state");
    qputenv("XDG_CACHE_HOME", home + "/cache");
    QStandardPaths::setTestModeEnabled(true);
    if (!QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation).startsWith(root_.path())) {
        std::abort();
    }
}

QString FuzzSandbox::path(const QString& relative) const {
    return root_.filePath(relative);
}

void FuzzSandbox::empty(const QString& folder) {
    QDir dir(folder);
    if (dir.exists()) {
        for (const QString& entry :
             dir.entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot)) {
            if (!QFile::remove(dir.filePath(entry))) {
                QDir(dir.filePath(entry)).removeRecursively();
            }
        }
    }
    if (!QDir().mkpath(folder)) {
        std::abort();
    }
}
