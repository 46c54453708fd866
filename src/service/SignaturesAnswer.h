#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "AnswerValidator.h"

// The signatures answer, from the download's buffer to the texts a check or an update reads: the clean
// flag, the images and each signature's name, HTML and text. The whole answer is validated up front, but
// its texts are left as the service wrote them (escapes and all) inside the answer's own bytes, which every
// copy of this object shares: a visit unescapes one body at a time into the same few buffers instead of
// writing a second copy of a 20 MB answer into fresh memory. The last copy to go hands the memory back to
// the system, so an idle agent does not keep what it read once.
//
// Qt's JSON reader, which reads the service's small answers, is not used here: on a 20 MB answer it is
// about 30 times slower than simdjson, and it builds a second full copy of the answer as Qt values.
class SignaturesAnswer final {
public:
    // One signature's texts with their escapes resolved; `html` and `text` are UTF-8. Both views point into
    // buffers the next signature reuses: copy what must outlive the visit.
    struct Texts {
        QString name;
        QByteArrayView html;
        QByteArrayView text;
    };
    // Answers false to end the visit early.
    using Visit = std::function<bool(const Texts& signature)>;

    // Room the JSON parser reads past the end of the answer; an answer without it is copied whole first.
    static constexpr qint64 kSpareBytesAfterBody = 64;
    // The download's buffer, made ready for `size` bytes of answer: with the parser's spare room after
    // them, and on large pages where the system offers them, since it is written end to end at once.
    static void reserve(QByteArray& body, qint64 size);

    struct Image {
        QString name;
        QString url;
    };

    // Nothing unless the data is JSON whose top level is an object.
    [[nodiscard]] static std::optional<SignaturesAnswer> fromJsonData(QByteArray data);

    // "clean" when it is true or a non-zero number.
    [[nodiscard]] bool clean() const { return clean_; }
    // The images whose "Name" and "Url" are both text, in answer order.
    [[nodiscard]] const QList<Image>& images() const { return images_; }
    // Calls `visit` with the texts of every object of the "signatures" list, in answer order, until it
    // answers false. Texts the answer lacks (absent, null or another type) are empty, and a lone UTF-16
    // surrogate escape reads as "?".
    void visitSignatures(const Visit& visit) const;

    // What the service sent to identify this answer, for asking next time whether it changed.
    [[nodiscard]] const std::optional<AnswerValidator>& validator() const { return validator_; }
    void setValidator(std::optional<AnswerValidator> validator) { validator_ = std::move(validator); }

private:
    class Reader;
    // The bytes between a JSON string's quotes, escapes still in. Empty where the answer has no text of
    // that name.
    struct Signature {
        QByteArrayView name;
        QByteArrayView html;
        QByteArrayView text;
    };

    SignaturesAnswer() = default;

    // The UTF-8 text a string of the answer stands for, written after what `out` holds.
    static void appendText(QByteArrayView raw, QByteArray& out);
    [[nodiscard]] static QByteArray text(QByteArrayView raw);

    // Never changed once read: the views below point into it.
    std::shared_ptr<const QByteArray> data_;
    bool clean_ = false;
    QList<Image> images_;
    std::vector<Signature> signatures_;
    std::optional<AnswerValidator> validator_;
};
