#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>
#include <QUrl>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "SignaturesAnswer.h"

// The images of one signatures answer: each reference as the HTML bodies write it in a src attribute, and
// the absolute address that replaces it. Built once per answer, applied to every body.
class ImageReferences final {
public:
    ImageReferences(const QList<SignaturesAnswer::Image>& images, const QUrl& imageHost);

    // Replaces every src="<reference>" by src="<address>" in UTF-8 HTML, image by image in answer order;
    // literal and case-sensitive, so later images see what earlier ones wrote.
    [[nodiscard]] QByteArray rewrite(QByteArrayView html) const;

    // The address an image's "Url" stands for, percent-encoded with the query character set: an absolute
    // address otherwise exactly as given, a relative one resolved against the image host. Empty when no
    // address can be formed.
    [[nodiscard]] static QString resolve(const QString& url, const QUrl& imageHost);

private:
    struct NameHash {
        using is_transparent = void;
        size_t operator()(std::string_view name) const { return std::hash<std::string_view>{}(name); }
    };

    [[nodiscard]] QByteArray rewriteImageByImage(QByteArrayView html) const;

    // Reference (quotes excluded) to the whole replacement attribute; the first image of a name wins.
    std::unordered_map<std::string, QByteArray, NameHash, std::equal_to<>> byReference_;
    // Every image in answer order, for the answers whose replacements could feed one another.
    std::vector<std::pair<QByteArray, QByteArray>> inOrder_;
    bool oneByOne_ = false;
};
