#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QJsonValue>
#include <QList>
#include <QString>
#include <optional>
#include <vector>

// The signatures answer, read once into what a check and an update need: the clean flag, the images and
// where each signature's name, HTML and text stand in the answer. The whole answer is validated up front,
// but its texts are left as the service wrote them (escapes and all) inside the answer's own bytes, which
// every copy of this object shares: a check then unescapes one body at a time into the same few buffers
// instead of writing a second copy of a 20 MB answer into fresh memory.
class SignaturesAnswer final {
public:
    struct Image {
        QString name;
        QString url;
    };
    // The bytes between a JSON string's quotes, escapes still in; `text` resolves them. Empty where the
    // answer has no text of that name (absent, null or another type).
    struct Signature {
        QByteArrayView name;
        QByteArrayView html;
        QByteArrayView text;
    };

    // Nothing unless the data is JSON whose top level is an object.
    [[nodiscard]] static std::optional<SignaturesAnswer> fromJsonData(QByteArray data);

    // The UTF-8 text a string of the answer stands for. `appendText` writes it after what `out` holds, so
    // a caller can reuse one buffer for every body. A lone UTF-16 surrogate escape becomes "?".
    [[nodiscard]] static QByteArray text(QByteArrayView raw);
    static void appendText(QByteArrayView raw, QByteArray& out);

    // "clean" when it is true or a non-zero number.
    [[nodiscard]] bool clean() const { return clean_; }
    // The images whose "Name" and "Url" are both text, in answer order.
    [[nodiscard]] const QList<Image>& images() const { return images_; }
    // Every object of the "signatures" list, in answer order.
    [[nodiscard]] const std::vector<Signature>& signatures() const { return signatures_; }

    // A top-level member is present when the lookup yields anything, JSON null included. Where a key
    // repeats, the last one counts.
    [[nodiscard]] bool contains(const QString& key) const;
    // The member as a Qt value (undefined when absent). It reads the whole answer again, so it is meant for
    // the odd small member, never for the signatures.
    [[nodiscard]] QJsonValue value(const QString& key) const;

private:
    class Reader;
    SignaturesAnswer() = default;

    QByteArray data_;  // never changed once read: the views above point into it
    bool clean_ = false;
    QList<Image> images_;
    std::vector<Signature> signatures_;
    QList<QByteArray> keys_;
};
