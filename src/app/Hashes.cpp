#include "Hashes.h"

#include <openssl/evp.h>

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
    return QString::fromLatin1(sha1OfUtf8(text.toUtf8()));
}

// OpenSSL's SHA-1 runs about twice as fast as Qt's here, and the check digests every body.
QByteArray Hashes::sha1OfUtf8(QByteArrayView utf8) {
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    if (EVP_Digest(utf8.data(), size_t(utf8.size()), digest, &length, EVP_sha1(), nullptr) != 1) {
        // Only a broken crypto library gets here; Qt's digest gives the same bytes.
        return QCryptographicHash::hash(utf8, QCryptographicHash::Sha1).toHex();
    }
    return QByteArray(reinterpret_cast<const char*>(digest), qsizetype(length)).toHex();
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
