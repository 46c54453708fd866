#include "BRSOutlookService.h"

#include "BRSAppleScript.h"
#include "BRSLog.h"

namespace {

// The texts are joined rather than filled in with arg(): a signature's HTML may well contain "%1".
const QString kSetSignatureHead = QStringLiteral("property sigName : \"");
const QString kSetSignatureMiddle = QStringLiteral("\"\nproperty sigContent : \"");
const QString kSetSignatureTail = QStringLiteral(
    "\"\n"
    "tell application \"Microsoft Outlook\"\n"
    "set S to every signature whose name is sigName\n"
    "if (count S) is 0 then\n"
    "make new signature with properties {name:sigName, content:sigContent}\n"
    "else\n"
    "set [R] to S\n"
    "set the content of R to the sigContent\n"
    "end if\n"
    "end tell\n");

const QString kDeleteSignaturesHead = QStringLiteral("set orlinSignatures to {");
const QString kDeleteSignaturesTail = QStringLiteral(
    "}\n"
    "set sigsToDelete to {}\n"
    "tell application \"Microsoft Outlook\"\n"
    "set sigs to every signature\n"
    "repeat with sig in signatures\n"
    "set signame to the name of sig\n"
    "if orlinSignatures does not contain signame then\n"
    "set sigsToDelete to sigsToDelete & signame\n"
    "end if\n"
    "end repeat\n"
    "repeat with sigToDelete in sigsToDelete\n"
    "delete signature sigToDelete\n"
    "end repeat\n"
    "end tell\n");

}  // namespace

QString BRSOutlookService::appName() const {
    return QStringLiteral("Outlook");
}

// A NUL in a literal ends the script text early, and a lone surrogate has no UTF-8 form and reached Outlook
// as "?", so "\ud800x" and "\ud801x" became one signature that never settled. Both are mapped the way
// Mail's list maps them, before the literal is built.
QString BRSOutlookService::setSignatureScript(const QString& name, const QString& htmlContent) {
    return kSetSignatureHead + BRSAppleScript::escapeString(portableText(name)) + kSetSignatureMiddle +
           BRSAppleScript::escapeString(portableText(htmlContent)) + kSetSignatureTail;
}

QString BRSOutlookService::deleteSignaturesScript(const QStringList& namesToKeep) {
    QStringList quoted;
    quoted.reserve(namesToKeep.size());
    for (const QString& name : namesToKeep) {
        // Mapped as the set script maps it, or the signature it made would count as not listed.
        quoted.append(QLatin1Char('"') + BRSAppleScript::escapeString(portableText(name)) + QLatin1Char('"'));
    }
    return kDeleteSignaturesHead + quoted.join(QLatin1Char(',')) + kDeleteSignaturesTail;
}

BRSOutlookService::BRSOutlookService(BRSAppleScript script) : script_(std::move(script)) {}

void BRSOutlookService::install(const QList<BRSSignature>& signatures, bool clean, const Observer& observer) {
    if (clean) {
        QStringList names;
        names.reserve(signatures.size());
        for (const BRSSignature& signature : signatures) {
            names.append(signature.name());
        }
        deleteAllSignaturesNotIn(names);
    }
    for (qsizetype i = 0; i < signatures.size(); ++i) {
        observer.announce(i);
        const BRSSignature& signature = signatures.at(i);
        if (observer.report(i, setSignatureWithName(signature.name(), signature.htmlContent())) ==
            Next::StopClient) {
            return;
        }
    }
}

Result<void> BRSOutlookService::setSignatureWithName(const QString& name, const QString& htmlContent) {
    const QString script = setSignatureScript(name, htmlContent);
    // The whole script, HTML included, so a support case can see exactly what Outlook was told.
    BRSLogVerbose(u"AppleScript: %@", script);
    if (const Result<QString> run = script_.runAppleScriptForSource(script); !run) {
        return run.error();
    }
    return {};
}

void BRSOutlookService::deleteAllSignaturesNotIn(const QStringList& names) {
    // An empty list would delete every signature in Outlook; the service never means that.
    if (names.isEmpty()) {
        return;
    }
    if (const Result<QString> deleted = script_.runAppleScriptForSource(deleteSignaturesScript(names));
        !deleted) {
        BRSLogWarn(u"Outlook's signatures that are not from Orlin were not deleted: %@",
                   deleted.error().localizedDescription);
    }
}
