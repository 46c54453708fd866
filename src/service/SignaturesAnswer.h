#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QJsonValue>
#include <QList>
#include <QString>
#include <memory>
#include <optional>
#include <vector>

// The signatures answer, parsed once into what a check and an update read: the clean flag, the images and
// each signature's name, HTML and text. The texts of the signatures stay UTF-8 views into the parsed
// document, which every copy of this object shares and keeps alive, so a 20 MB answer is not copied again
// nor widened to UTF-16 before it is needed.
class SignaturesAnswer final {
public:
    struct Image {
        QString name;
        QString url;
    };
    // UTF-8; empty where the answer has no text of that name (absent, null or another type).
    struct Signature {
        QByteArrayView name;
        QByteArrayView html;
        QByteArrayView text;
    };

    // Nothing unless the data is JSON whose top level is an object.
    [[nodiscard]] static std::optional<SignaturesAnswer> fromJsonData(QByteArray data);

    // "clean" when it is true or a non-zero number.
    [[nodiscard]] bool clean() const { return clean_; }
    // The images whose "Name" and "Url" are both text, in answer order.
    [[nodiscard]] const QList<Image>& images() const { return images_; }
    // Every object of the "signatures" list, in answer order.
    [[nodiscard]] const std::vector<Signature>& signatures() const { return signatures_; }

    // A top-level member is present when the lookup yields anything, JSON null included. Where a key
    // repeats, the last one counts.
    [[nodiscard]] bool contains(const QString& key) const;
    // The member as a Qt value (undefined when absent); meant for the answer's small members.
    [[nodiscard]] QJsonValue value(const QString& key) const;

private:
    struct Document;
    SignaturesAnswer() = default;

    std::shared_ptr<const Document> document_;
    bool clean_ = false;
    QList<Image> images_;
    std::vector<Signature> signatures_;
};
