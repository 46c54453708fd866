#include "Hashes.h"

#include <QCryptographicHash>

namespace {
QString hexDigest(const QString& text, QCryptographicHash::Algorithm algorithm) {
    return QString::fromLatin1(QCryptographicHash::hash(text.toUtf8(), algorithm).toHex());
}
}  // namespace

QString Hashes::md5(const QString& text) {
    return hexDigest(text, QCryptographicHash::Md5);
}

QString Hashes::sha1(const QString& text) {
    return hexDigest(text, QCryptographicHash::Sha1);
}

QString Hashes::sha224(const QString& text) {
    return hexDigest(text, QCryptographicHash::Sha224);
}

QString Hashes::sha256(const QString& text) {
    return hexDigest(text, QCryptographicHash::Sha256);
}

QString Hashes::sha384(const QString& text) {
    return hexDigest(text, QCryptographicHash::Sha384);
}

QString Hashes::sha512(const QString& text) {
    return hexDigest(text, QCryptographicHash::Sha512);
}
