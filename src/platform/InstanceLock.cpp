#include "InstanceLock.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>

namespace {

QString lockPath(const QString& runtimeFolder, const QString& dataFolder) {
    const QByteArray digest =
        QCryptographicHash::hash(QDir::cleanPath(dataFolder).toUtf8(), QCryptographicHash::Sha1)
            .toHex()
            .left(16);
    return runtimeFolder + QStringLiteral("/com.halvex.Orlin-") + QString::fromLatin1(digest) +
           QStringLiteral(".lock");
}

}  // namespace

InstanceLock::InstanceLock(const QString& runtimeFolder, const QString& dataFolder)
    : path_(lockPath(runtimeFolder, dataFolder)), lock_(path_) {
    // Staleness by age would let a second agent in beside a first that has run for a while; only a holder
    // that no longer runs makes the lock stale.
    lock_.setStaleLockTime(0);
}

bool InstanceLock::tryLock() {
    QDir().mkpath(QFileInfo(path_).absolutePath());
    return lock_.tryLock(0);
}
