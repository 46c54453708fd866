#include "ImageReferences.h"

#include <cstring>

namespace {

constexpr QByteArrayView kOpening("src=\"");

// Where the next src=" starts, or -1. The C library's search is several times faster here than Qt's, and
// this search runs over every byte of every body of every check.
qsizetype findOpening(QByteArrayView html, qsizetype from) {
    const void* found =
        ::memmem(html.data() + from, size_t(html.size() - from), kOpening.data(), size_t(kOpening.size()));
    return found ? static_cast<const char*>(found) - html.data() : -1;
}

QByteArray srcAttribute(const QByteArray& value) {
    return kOpening.toByteArray() + value + '"';
}

// Whether the reference starts with a scheme ("letter *( letter / digit / + / - / . ) :").
bool hasScheme(const QByteArray& reference) {
    const auto isLetter = [](char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); };
    if (reference.isEmpty() || !isLetter(reference.front())) {
        return false;
    }
    for (const char c : reference) {
        if (c == ':') {
            return true;
        }
        if (!isLetter(c) && !(c >= '0' && c <= '9') && c != '+' && c != '-' && c != '.') {
            return false;
        }
    }
    return false;
}

}  // namespace

ImageReferences::ImageReferences(const QList<SignaturesAnswer::Image>& images, const QUrl& imageHost) {
    QList<QByteArray> addresses;
    for (const SignaturesAnswer::Image& image : images) {
        const QString address = resolve(image.url, imageHost);
        if (address.isEmpty()) {
            continue;
        }
        const QByteArray reference = image.name.toUtf8();
        const QByteArray to = srcAttribute(address.toUtf8());
        inOrder_.emplace_back(srcAttribute(reference), to);
        byReference_.try_emplace(reference.toStdString(), to);
        addresses.append(address.toUtf8());
        // One pass finds a reference from its src=" to the next quote, and never looks at what it wrote.
        // Answer order can differ from that only when a reference holds a quote or ends in src= (two
        // references overlap), or when a written address makes a new reference: one ending in src=, or
        // one that is another image's name. No real answer does that; those few are rewritten image by
        // image, which is slower but exact.
        oneByOne_ = oneByOne_ || reference.contains('"') || reference.endsWith(kOpening.first(4)) ||
                    to.chopped(1).endsWith(kOpening.first(4)) || to.count('"') != 2;
    }
    for (const QByteArray& address : addresses) {
        oneByOne_ = oneByOne_ || byReference_.contains(address.toStdString());
    }
}

QByteArray ImageReferences::rewrite(QByteArrayView html) const {
    if (oneByOne_) {
        return rewriteImageByImage(html);
    }
    QByteArray rewritten;
    qsizetype copied = 0;
    qsizetype from = 0;
    while (true) {
        const qsizetype opening = findOpening(html, from);
        if (opening < 0) {
            break;
        }
        const qsizetype start = opening + kOpening.size();
        const qsizetype closing = html.indexOf('"', start);
        if (closing < 0) {
            break;
        }
        const auto found = byReference_.find(std::string_view(html.data() + start, size_t(closing - start)));
        if (found == byReference_.end()) {
            from = start;
            continue;
        }
        if (rewritten.isEmpty()) {
            rewritten.reserve(html.size() + html.size() / 8);
        }
        rewritten.append(html.sliced(copied, opening - copied)).append(found->second);
        copied = closing + 1;
        from = copied;
    }
    return rewritten.append(html.sliced(copied));
}

QByteArray ImageReferences::rewriteImageByImage(QByteArrayView html) const {
    QByteArray rewritten = html.toByteArray();
    for (const auto& [from, to] : inOrder_) {
        rewritten.replace(from, to);
    }
    return rewritten;
}

QString ImageReferences::resolve(const QString& url, const QUrl& imageHost) {
    if (url.isEmpty()) {
        return QString();
    }
    // The URL query set: unreserved characters plus these stay; everything else, "%" included, is encoded
    // from its UTF-8 bytes.
    const QByteArray encoded = QUrl::toPercentEncoding(url, QByteArrayLiteral("!$&'()*+,/:;=?@"));
    // An absolute address is used exactly as the service wrote it: parsing it would lowercase the host,
    // drop dot segments or refuse an internationalised host, and the image would break.
    if (hasScheme(encoded)) {
        return QString::fromLatin1(encoded);
    }
    // Host-relative: it names its own host, so only the image host's scheme is added.
    if (encoded.startsWith("//")) {
        return imageHost.scheme() + QLatin1Char(':') + QString::fromLatin1(encoded);
    }
    const QUrl reference = QUrl::fromEncoded(encoded, QUrl::StrictMode);
    if (!reference.isValid()) {
        return QString();
    }
    const QUrl resolved = imageHost.resolved(reference);
    return resolved.isValid() && !resolved.isRelative()
               ? QString::fromUtf8(resolved.toEncoded(QUrl::FullyEncoded))
               : QString();
}
