#pragma once

#include <QJsonArray>
#include <QList>
#include <QString>
#include <QUrl>

// The images of one signatures answer: each reference as the HTML bodies write it in a src attribute, and
// the absolute address that replaces it. Built once per answer, applied to every body.
class ImageReferences final {
public:
    ImageReferences(const QJsonArray& images, const QUrl& imageHost);

    // Replaces every src="<reference>" by src="<address>", image by image in answer order; literal and
    // case-sensitive, so later images see what earlier ones wrote.
    [[nodiscard]] QString rewrite(QString html) const;

    // The address an image's "Url" stands for, percent-encoded with the query character set: an absolute
    // address otherwise exactly as given, a relative one resolved against the image host. Empty when no
    // address can be formed.
    [[nodiscard]] static QString resolve(const QString& url, const QUrl& imageHost);

private:
    struct Replacement {
        QString from;
        QString to;
    };
    QList<Replacement> replacements_;
};
