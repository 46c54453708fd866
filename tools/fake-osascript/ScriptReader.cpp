#include "ScriptReader.h"

ScriptReader::ScriptReader(QString source) : source_(std::move(source)) {}

bool ScriptReader::take(QStringView text) {
    if (!QStringView(source_).mid(position_).startsWith(text)) {
        return false;
    }
    position_ += text.size();
    return true;
}

std::optional<QString> ScriptReader::takeStringLiteral() {
    qsizetype at = position_;
    if (at >= source_.size() || source_[at] != QLatin1Char('"')) {
        return std::nullopt;
    }
    ++at;
    QString value;
    while (at < source_.size()) {
        const QChar c = source_[at++];
        if (c == QLatin1Char('"')) {
            position_ = at;
            return value;
        }
        if (c != QLatin1Char('\\')) {
            value.append(c);
            continue;
        }
        if (at >= source_.size()) {
            break;
        }
        switch (source_[at++].unicode()) {
            case '"':
                value.append(QLatin1Char('"'));
                break;
            case '\\':
                value.append(QLatin1Char('\\'));
                break;
            case 'n':
                value.append(QLatin1Char('\n'));
                break;
            case 'r':
                value.append(QLatin1Char('\r'));
                break;
            case 't':
                value.append(QLatin1Char('\t'));
                break;
            default:
                return std::nullopt;
        }
    }
    return std::nullopt;
}

std::optional<QStringList> ScriptReader::takeStringList() {
    const qsizetype start = position_;
    QStringList values;
    if (!take(u"{")) {
        return std::nullopt;
    }
    if (take(u"}")) {
        return values;
    }
    do {
        std::optional<QString> value = takeStringLiteral();
        if (!value) {
            position_ = start;
            return std::nullopt;
        }
        values.append(std::move(*value));
    } while (take(u","));
    if (!take(u"}")) {
        position_ = start;
        return std::nullopt;
    }
    return values;
}
