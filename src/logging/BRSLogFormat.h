#pragma once

#include <QString>
#include <QStringView>
#include <array>
#include <concepts>
#include <initializer_list>

// Fills "%@" placeholders, in order, with the texts of the arguments; "%%" is a percent sign. The agent's
// messages are templates like "Name: %@" that also read well when searched for in the log.
class BRSLogFormat final {
public:
    BRSLogFormat() = delete;

    template <typename... Args>
    [[nodiscard]] static QString format(QStringView format, const Args&... args) {
        const std::array<QString, sizeof...(Args)> texts{text(args)...};
        return substitute(format, texts.data(), texts.size());
    }

    [[nodiscard]] static QString substitute(QStringView format, const QString* arguments, std::size_t count);

private:
    static QString text(const QString& value) { return value; }
    static QString text(QStringView value) { return value.toString(); }
    static QString text(const char* value) {
        return value ? QString::fromUtf8(value) : QStringLiteral("(null)");
    }
    static QString text(bool value) { return value ? QStringLiteral("YES") : QStringLiteral("NO"); }
    template <std::integral T>
    static QString text(T value) {
        return QString::number(value);
    }
    template <std::floating_point T>
    static QString text(T value) {
        return QString::number(value);
    }
};
