#include "BRSAppleScript.h"

#include <QRegularExpression>

#include "ScriptProcess.h"

Error BRSAppleScript::genericError() {
    // What the platform would show for an error that carries no description of its own.
    return Error{kGenericErrorDomain, 0,
                 QStringLiteral("The operation couldn’t be completed. (Migrator error 0.)")};
}

std::optional<Error> BRSAppleScript::scriptError(const QString& standardError) {
    // The kind of failure starts the message; before it come the script's name (when it has one) and the
    // character range of the offending statement, after it the AppleScript error number.
    static const QRegularExpression kMessage(
        QStringLiteral("(?:execution|syntax|script) error: (.*?)(?:\\s*\\((-?\\d+)\\))?\\s*$"),
        QRegularExpression::DotMatchesEverythingOption);
    const QRegularExpressionMatch match = kMessage.match(standardError);
    if (!match.hasMatch() || match.captured(1).isEmpty()) {
        return std::nullopt;
    }
    return Error{ErrorDomains::kOutlook, match.captured(2).toLongLong(), match.captured(1)};
}

bool BRSAppleScript::isNotAuthorized(const Error& error) {
    return error.domain == ErrorDomains::kOutlook && error.code == kNotAuthorizedCode;
}

bool BRSAppleScript::isCancelled(const Error& error) {
    return error.domain == ErrorDomains::kOutlook && error.code == kCancelledCode;
}

bool BRSAppleScript::isTimeOut(const Error& error) {
    return error.domain == ErrorDomains::kOutlook && error.code == kTimedOutCode;
}

BRSAppleScript::BRSAppleScript(ScriptProcess process) : process_(std::move(process)) {}

Result<QString> BRSAppleScript::runAppleScriptForSource(const QString& source) const {
    const std::chrono::milliseconds limit = timeout();
    const ScriptProcess::Result run = process_.run(source);
    if (run.interrupted) {
        return Error{ErrorDomains::kOutlook, kCancelledCode,
                     QStringLiteral("The script was stopped because Orlin is quitting.")};
    }
    if (run.timedOut) {
        const auto seconds = std::chrono::duration_cast<std::chrono::duration<double>>(limit).count();
        return Error{ErrorDomains::kOutlook, kTimedOutCode,
                     QStringLiteral("The script did not answer within %1 seconds and was stopped.")
                         .arg(seconds, 0, 'g', 4)};
    }
    if (!run.started || !run.exitedNormally) {
        return genericError();
    }
    if (run.exitCode == 0) {
        QString result = QString::fromUtf8(run.standardOutput);
        if (result.endsWith(QLatin1Char('\n'))) {
            result.chop(1);
        }
        return result;
    }
    if (std::optional<Error> failure = scriptError(QString::fromUtf8(run.standardError))) {
        return std::move(*failure);
    }
    return genericError();
}

QString BRSAppleScript::escapeString(const QString& text) {
    // Every double quote and backslash gets its backslash, also one that a combining mark or a prefix
    // character joins into a larger user-perceived character: the script compiler reads code points, so
    // such a quote would still end the literal and let the rest of the text run as script.
    QString escaped;
    escaped.reserve(text.size() + text.size() / 8);
    for (const QChar c : text) {
        if (c == QLatin1Char('"') || c == QLatin1Char('\\')) {
            escaped.append(QLatin1Char('\\'));
        }
        escaped.append(c);
    }
    return escaped;
}
