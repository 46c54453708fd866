#pragma once

#include <QString>
#include <QtGlobal>

// The error value handed through every failing operation: a domain that names the subsystem, a code that
// callers may test, and a description meant for the user.
struct Error {
    QString domain;
    qint64 code = 0;
    QString localizedDescription;

    // The service's own failures: one domain, code -1, the message for the user.
    [[nodiscard]] static Error serviceError(const QString& message);

    friend bool operator==(const Error&, const Error&) = default;
};

namespace ErrorDomains {
inline const QString kOrlin = QStringLiteral("com.halvex.Brisel.OrlinErrorsDomain");
inline const QString kOutlook = QStringLiteral("com.halvex.Brisel.OutlookErrorsDomain");
// The operating system's own failures; the code is the errno value.
inline const QString kPosix = QStringLiteral("NSPOSIXErrorDomain");
}  // namespace ErrorDomains

// Codes the platform reports for failures that the controller tells the user about differently.
namespace ErrorCodes {
inline constexpr qint64 kPropertyListReadCorrupt = 3840;
inline constexpr qint64 kUserCancelledAuthentication = -1012;
}  // namespace ErrorCodes
