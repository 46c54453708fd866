#include "RecordingInstaller.h"

void RecordingInstaller::install(const QList<BRSSignature>& signatures, bool clean,
                                 const Observer& observer) {
    if (clean) {
        QStringList names;
        for (const BRSSignature& signature : signatures) {
            names.append(signature.name());
        }
        log_.append(QStringLiteral("%1 keep %2").arg(name_, names.join(QLatin1Char(','))));
    }
    for (qsizetype i = 0; i < signatures.size(); ++i) {
        observer.announce(i);
        const BRSSignature& signature = signatures.at(i);
        log_.append(QStringLiteral("%1 set %2 %3").arg(name_, signature.name(), signature.htmlContent()));
        const Result<void> outcome = failing_.contains(signature.name())
                                         ? Result<void>(failure_.value_or(Error{
                                               ErrorDomains::kOutlook, 0,
                                               QStringLiteral("%1 refused %2").arg(name_, signature.name())}))
                                         : Result<void>();
        if (observer.report(i, outcome) == Next::StopClient) {
            return;
        }
    }
}
