#include "RecordingInstaller.h"

void RecordingInstaller::deleteAllSignaturesNotIn(const QStringList& names) {
    log_.append(QStringLiteral("%1 keep %2").arg(name_, names.join(QLatin1Char(','))));
}

bool RecordingInstaller::setSignatureWithName(const QString& name, const QString& htmlContent,
                                              const QString& /*textContent*/, Error* error) {
    log_.append(QStringLiteral("%1 set %2 %3").arg(name_, name, htmlContent));
    if (!failing_.contains(name)) {
        return true;
    }
    if (error) {
        *error = failure_.value_or(
            Error{ErrorDomains::kOutlook, 0, QStringLiteral("%1 refused %2").arg(name_, name)});
    }
    return false;
}
