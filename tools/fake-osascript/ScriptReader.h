#pragma once

#include <QString>
#include <QStringList>
#include <optional>

// Walks a script source the way the AppleScript compiler reads string literals: code unit by code unit, so
// a double quote ends a literal unless a backslash comes right before it, whatever character follows.
class ScriptReader final {
public:
    explicit ScriptReader(QString source);

    // Consumes `text` when the source continues with exactly it.
    [[nodiscard]] bool take(QStringView text);
    // A string literal, quotes included, with its escapes resolved.
    [[nodiscard]] std::optional<QString> takeStringLiteral();
    // "{" then string literals separated by "," then "}".
    [[nodiscard]] std::optional<QStringList> takeStringList();

    [[nodiscard]] bool atEnd() const { return position_ == source_.size(); }
    [[nodiscard]] qsizetype position() const { return position_; }

private:
    QString source_;
    qsizetype position_ = 0;
};
