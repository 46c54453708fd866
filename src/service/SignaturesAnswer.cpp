#include "SignaturesAnswer.h"

#include <simdjson.h>

#include <QJsonDocument>
#include <cstdint>
#include <cstring>
#include <string_view>
#include <utility>

#include "ProcessMemory.h"

namespace ondemand = simdjson::ondemand;
using simdjson::error_code;

namespace {

static_assert(SignaturesAnswer::kSpareBytesAfterBody >= qint64(simdjson::SIMDJSON_PADDING),
              "a downloaded answer must have room for the parser's padding, or every check copies it");

// Below this, what an answer leaves behind is not worth a walk over every heap of the process.
constexpr qsizetype kWorthReturning = qsizetype(1) * 1024 * 1024;

// The answer's bytes, shared by every copy of one answer; the last to let go gives the memory back.
std::shared_ptr<const QByteArray> held(QByteArray data) {
    return std::shared_ptr<const QByteArray>(new QByteArray(std::move(data)), [](const QByteArray* bytes) {
        const bool large = bytes->capacity() >= kWorthReturning;
        delete bytes;
        if (large) {
            ProcessMemory::returnFreed();
        }
    });
}

// Deeper than any answer of the service, and as deep as the reader before this one went.
constexpr int kMaximumDepth = 1024;

int hexDigit(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

// The UTF-16 code unit of the four hex digits at `p`; -1 when they are not four hex digits.
int codeUnitAt(const char* p, const char* end) {
    if (end - p < 4) {
        return -1;
    }
    int unit = 0;
    for (int i = 0; i < 4; ++i) {
        const int digit = hexDigit(p[i]);
        if (digit < 0) {
            return -1;
        }
        unit = unit << 4 | digit;
    }
    return unit;
}

char* putUtf8(char32_t code, char* out) {
    if (code < 0x80) {
        *out++ = char(code);
    } else if (code < 0x800) {
        *out++ = char(0xC0 | code >> 6);
        *out++ = char(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        *out++ = char(0xE0 | code >> 12);
        *out++ = char(0x80 | (code >> 6 & 0x3F));
        *out++ = char(0x80 | (code & 0x3F));
    } else {
        *out++ = char(0xF0 | code >> 18);
        *out++ = char(0x80 | (code >> 12 & 0x3F));
        *out++ = char(0x80 | (code >> 6 & 0x3F));
        *out++ = char(0x80 | (code & 0x3F));
    }
    return out;
}

// Walks the escapes of a JSON string's contents, writing the text they stand for to `out` when it is
// given (never more bytes than the contents hold). False when a \u escape lacks its four hex digits or an
// escape ends in a byte beyond ASCII. A lone
// surrogate becomes "?", as it does in Qt's reader, which reads the service's other answers and read this one
// before: the digests cached then stay valid.
bool resolveEscapes(QByteArrayView raw, char** out) {
    const char* p = raw.data();
    const char* const end = p + raw.size();
    while (p < end) {
        const auto* slash = static_cast<const char*>(std::memchr(p, '\\', size_t(end - p)));
        const char* const plainEnd = slash ? slash : end;
        if (out) {
            std::memcpy(*out, p, size_t(plainEnd - p));
            *out += plainEnd - p;
        }
        if (!slash) {
            return true;
        }
        if (end - slash < 2) {
            return false;
        }
        p = slash + 2;
        char single = 0;
        switch (slash[1]) {
            case '"':
            case '\\':
            case '/':
                single = slash[1];
                break;
            case 'b':
                single = '\b';
                break;
            case 'f':
                single = '\f';
                break;
            case 'n':
                single = '\n';
                break;
            case 'r':
                single = '\r';
                break;
            case 't':
                single = '\t';
                break;
            case 'u': {
                const int unit = codeUnitAt(p, end);
                if (unit < 0) {
                    return false;
                }
                p += 4;
                char32_t code = char32_t(unit);
                if (unit >= 0xD800 && unit <= 0xDBFF) {
                    const int low = end - p >= 6 && p[0] == '\\' && p[1] == 'u' ? codeUnitAt(p + 2, end) : -1;
                    if (low >= 0xDC00 && low <= 0xDFFF) {
                        code = 0x10000 + (char32_t(unit - 0xD800) << 10) + char32_t(low - 0xDC00);
                        p += 6;
                    } else {
                        code = '?';
                    }
                } else if (unit >= 0xDC00 && unit <= 0xDFFF) {
                    code = '?';
                }
                if (out) {
                    *out = putUtf8(code, *out);
                }
                continue;
            }
            default:
                // Qt's reader takes any other escaped ASCII character as itself, and so does this one.
                if (uchar(slash[1]) >= 0x80) {
                    return false;
                }
                single = slash[1];
                break;
        }
        if (out) {
            *(*out)++ = single;
        }
    }
    return true;
}

// Whether "\u", or a backslash before a byte beyond ASCII, may occur in the text: never false when one
// does, rarely true when none does. Eight bytes at a time, because every byte of every body passes through
// here; the C library's search for a two-byte needle goes a byte at a time.
bool mayHoldStrictEscape(QByteArrayView raw) {
    constexpr std::uint64_t kOnes = 0x0101010101010101;
    constexpr std::uint64_t kHighs = 0x8080808080808080;
    const auto zeroBytes = [](std::uint64_t v) { return (v - kOnes) & ~v & kHighs; };
    const char* const p = raw.data();
    const qsizetype size = raw.size();
    qsizetype i = 0;
    for (; i + 9 <= size; i += 8) {
        std::uint64_t here = 0;
        std::uint64_t next = 0;
        std::memcpy(&here, p + i, 8);
        std::memcpy(&next, p + i + 1, 8);
        if ((zeroBytes(here ^ (kOnes * '\\')) & (zeroBytes(next ^ (kOnes * 'u')) | (next & kHighs))) != 0) {
            return true;
        }
    }
    for (; i + 1 < size; ++i) {
        if (p[i] == '\\' && (p[i + 1] == 'u' || uchar(p[i + 1]) >= 0x80)) {
            return true;
        }
    }
    return false;
}

// Whether a string's escapes can be resolved. Only a \u escape or an escaped byte beyond ASCII can be
// malformed, since any other escaped character stands for itself, so a string without either (nearly
// every body) needs no closer look.
bool escapesResolve(QByteArrayView raw) {
    return !mayHoldStrictEscape(raw) || resolveEscapes(raw, nullptr);
}

bool isJsonSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

}  // namespace

// One pass over the whole answer with simdjson's on-demand parser. It visits every value, because that
// parser checks only what it is asked for, and the answer must be refused as a whole when any of it is not
// JSON. Strings are only checked where they stand; nothing is copied out but the images and the keys.
class SignaturesAnswer::Reader {
public:
    explicit Reader(SignaturesAnswer& answer) : answer_(answer) {}

    bool read(const QByteArray& data) {
        ondemand::parser parser;
        ondemand::document document;
        // Room for one level more than the walk itself allows, so that the walk is what refuses.
        if (parser.allocate(size_t(data.size()), kMaximumDepth + 2)) {
            return false;
        }
        ondemand::object root;
        if (parser.iterate(data.constData(), size_t(data.size()), size_t(data.capacity())).get(document) ||
            document.get_object().get(root)) {
            return false;
        }
        for (auto member : root) {
            ondemand::field field;
            QByteArray key;
            if (std::move(member).get(field) || !keyOf(field, &key)) {
                return false;
            }
            error_code error = simdjson::SUCCESS;
            if (key == "clean") {
                error = readClean(field.value());
            } else if (key == "images") {
                error = readList(
                    field.value(), [this](ondemand::object entry) { return readImage(entry); },
                    [this] { answer_.images_.clear(); });
            } else if (key == "signatures") {
                error = readList(
                    field.value(), [this](ondemand::object entry) { return readSignature(entry); },
                    [this] { answer_.signatures_.clear(); });
            } else {
                error = readAny(field.value(), 2);
            }
            if (error) {
                return false;
            }
        }
        // Nothing but white space may follow the object.
        const char* trailing = nullptr;
        return document.current_location().get(trailing) == simdjson::OUT_OF_BOUNDS;
    }

private:
    // A key's text. Keys are short, so they are found by a plain scan to their closing quote, which the
    // parser's first pass has already made sure is there.
    static bool keyOf(ondemand::field& field, QByteArray* key) {
        const char* const start = field.key().raw();
        const char* end = start;
        while (*end != '"') {
            end += *end == '\\' ? 2 : 1;
        }
        const QByteArrayView raw(start, end - start);
        if (!escapesResolve(raw)) {
            return false;
        }
        *key = SignaturesAnswer::text(raw);
        return true;
    }

    // A string value's contents, escapes checked but not resolved. The value is consumed like any other:
    // a value left unread is skipped by the parser without looking at what follows it.
    static error_code rawString(ondemand::value& value, QByteArrayView* raw) {
        std::string_view token = value.raw_json_token();
        ondemand::raw_json_string consumed;
        if (const error_code error = value.get_raw_json_string().get(consumed)) {
            return error;
        }
        while (!token.empty() && isJsonSpace(token.back())) {
            token.remove_suffix(1);
        }
        if (token.size() < 2 || token.front() != '"' || token.back() != '"') {
            return simdjson::STRING_ERROR;
        }
        *raw = QByteArrayView(token.data() + 1, qsizetype(token.size() - 2));
        return escapesResolve(*raw) ? simdjson::SUCCESS : simdjson::STRING_ERROR;
    }

    // A string member's contents, or nothing when the value is of another type (which is still checked).
    static error_code textOrNothing(ondemand::value value, std::optional<QByteArrayView>* text, int depth) {
        ondemand::json_type type;
        if (const error_code error = value.type().get(type)) {
            return error;
        }
        if (type != ondemand::json_type::string) {
            text->reset();
            return readAny(value, depth);
        }
        QByteArrayView raw;
        const error_code error = rawString(value, &raw);
        *text = raw;
        return error;
    }

    static error_code readAny(ondemand::value value, int depth) {
        if (depth > kMaximumDepth) {
            return simdjson::DEPTH_ERROR;
        }
        ondemand::json_type type;
        if (const error_code error = value.type().get(type)) {
            return error;
        }
        switch (type) {
            case ondemand::json_type::array: {
                ondemand::array items;
                if (const error_code error = value.get_array().get(items)) {
                    return error;
                }
                for (auto item : items) {
                    ondemand::value element;
                    if (const error_code error = item.get(element)) {
                        return error;
                    }
                    if (const error_code error = readAny(element, depth + 1)) {
                        return error;
                    }
                }
                return simdjson::SUCCESS;
            }
            case ondemand::json_type::object: {
                ondemand::object members;
                if (const error_code error = value.get_object().get(members)) {
                    return error;
                }
                return readMembers(members, [depth](const QByteArray&, ondemand::value member) {
                    return readAny(member, depth + 1);
                });
            }
            case ondemand::json_type::number: {
                double number = 0;
                return value.get_double().get(number);
            }
            case ondemand::json_type::string: {
                QByteArrayView raw;
                return rawString(value, &raw);
            }
            case ondemand::json_type::boolean: {
                bool flag = false;
                return value.get_bool().get(flag);
            }
            case ondemand::json_type::null: {
                bool isNull = false;
                const error_code error = value.is_null().get(isNull);
                return error ? error : isNull ? simdjson::SUCCESS : simdjson::N_ATOM_ERROR;
            }
        }
        return simdjson::TAPE_ERROR;
    }

    error_code readClean(ondemand::value value) {
        answer_.clean_ = false;
        ondemand::json_type type;
        if (const error_code error = value.type().get(type)) {
            return error;
        }
        if (type == ondemand::json_type::boolean) {
            return value.get_bool().get(answer_.clean_);
        }
        if (type == ondemand::json_type::number) {
            double number = 0;
            const error_code error = value.get_double().get(number);
            answer_.clean_ = number != 0;
            return error;
        }
        return readAny(value, 2);
    }

    // A list of objects; anything else in it, or in its place, is checked and passed over. A later member
    // of the same name replaces what an earlier one gave.
    template <typename ReadEntry, typename Clear>
    error_code readList(ondemand::value value, ReadEntry readEntry, Clear clear) {
        clear();
        ondemand::json_type type;
        if (const error_code error = value.type().get(type)) {
            return error;
        }
        if (type != ondemand::json_type::array) {
            return readAny(value, 2);
        }
        ondemand::array items;
        if (const error_code error = value.get_array().get(items)) {
            return error;
        }
        for (auto item : items) {
            ondemand::value element;
            ondemand::object entry;
            if (const error_code error = item.get(element)) {
                return error;
            }
            if (const error_code error = element.type().get(type)) {
                return error;
            }
            const error_code error =
                type == ondemand::json_type::object
                    ? (element.get_object().get(entry) ? simdjson::TAPE_ERROR : readEntry(entry))
                    : readAny(element, 3);
            if (error) {
                return error;
            }
        }
        return simdjson::SUCCESS;
    }

    // The members of an object, each key checked and handed to `take` with its value; where a name repeats,
    // whatever `take` keeps last counts.
    template <typename Take>
    static error_code readMembers(ondemand::object& entry, Take take) {
        for (auto member : entry) {
            ondemand::field field;
            QByteArray key;
            if (const error_code error = std::move(member).get(field)) {
                return error;
            }
            if (!keyOf(field, &key)) {
                return simdjson::STRING_ERROR;
            }
            if (const error_code error = take(key, field.value())) {
                return error;
            }
        }
        return simdjson::SUCCESS;
    }

    error_code readImage(ondemand::object& entry) {
        std::optional<QByteArrayView> name;
        std::optional<QByteArrayView> url;
        const error_code error = readMembers(entry, [&](const QByteArray& key, ondemand::value value) {
            return key == "Name"  ? textOrNothing(value, &name, 4)
                   : key == "Url" ? textOrNothing(value, &url, 4)
                                  : readAny(value, 4);
        });
        if (!error && name && url) {
            answer_.images_.append({QString::fromUtf8(text(*name)), QString::fromUtf8(text(*url))});
        }
        return error;
    }

    error_code readSignature(ondemand::object& entry) {
        std::optional<QByteArrayView> name;
        std::optional<QByteArrayView> html;
        std::optional<QByteArrayView> plain;
        const error_code error = readMembers(entry, [&](const QByteArray& key, ondemand::value value) {
            return key == "Name"   ? textOrNothing(value, &name, 4)
                   : key == "HTML" ? textOrNothing(value, &html, 4)
                   : key == "Text" ? textOrNothing(value, &plain, 4)
                                   : readAny(value, 4);
        });
        answer_.signatures_.push_back({name.value_or(QByteArrayView()), html.value_or(QByteArrayView()),
                                       plain.value_or(QByteArrayView())});
        return error;
    }

    SignaturesAnswer& answer_;
};

void SignaturesAnswer::reserve(QByteArray& body, qint64 size) {
    body.reserve(qsizetype(size + kSpareBytesAfterBody));
    ProcessMemory::preferLargePages(body.data(), std::size_t(body.capacity()));
}

std::optional<SignaturesAnswer> SignaturesAnswer::fromJsonData(QByteArray data) {
    // The parser reads a few bytes past the end; growing the buffer in place spares it a copy of the whole
    // answer (a download through `reserve` has the room already).
    data.reserve(data.size() + qsizetype(kSpareBytesAfterBody));
    SignaturesAnswer answer;
    answer.data_ = held(std::move(data));
    if (Reader(answer).read(*answer.data_)) {
        return answer;
    }
    // Qt's reader, which reads the service's other answers, takes a little more than JSON (control
    // characters inside strings, say). What it takes is read again from its own strict rendering, so the
    // two readers never disagree; a real answer never comes this way.
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(*answer.data_, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject()) {
        return std::nullopt;
    }
    QByteArray strictData = document.toJson(QJsonDocument::Compact);
    strictData.reserve(strictData.size() + qsizetype(kSpareBytesAfterBody));
    SignaturesAnswer strict;
    strict.data_ = held(std::move(strictData));
    if (!Reader(strict).read(*strict.data_)) {
        return std::nullopt;
    }
    return strict;
}

void SignaturesAnswer::visitSignatures(const Visit& visit) const {
    // One buffer each for every signature, so a visit touches no fresh memory per signature.
    QByteArray name;
    QByteArray html;
    QByteArray plain;
    Texts texts;
    for (const Signature& signature : signatures_) {
        name.resize(0);
        html.resize(0);
        plain.resize(0);
        appendText(signature.name, name);
        appendText(signature.html, html);
        appendText(signature.text, plain);
        texts.name = QString::fromUtf8(name);
        texts.html = html;
        texts.text = plain;
        if (!visit(texts)) {
            return;
        }
    }
}

QByteArray SignaturesAnswer::text(QByteArrayView raw) {
    QByteArray out;
    appendText(raw, out);
    return out;
}

void SignaturesAnswer::appendText(QByteArrayView raw, QByteArray& out) {
    const qsizetype start = out.size();
    out.resize(start + raw.size());  // a text is never longer than its escaped form
    char* end = out.data() + start;
    resolveEscapes(raw, &end);
    out.resize(end - out.constData());
}
