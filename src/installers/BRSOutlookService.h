#pragma once

#include "BRSAppleScript.h"
#include "BRSMailAppService.h"

// Installs signatures into Outlook through its scripting dictionary; Outlook's own files are never
// touched. Outlook compares signature names ignoring case, so "Sales" and "sales" are one signature there.
class BRSOutlookService final : public BRSMailAppService {
public:
    explicit BRSOutlookService(BRSAppleScript script);

    // One script per signature, each with the HTML only; the text content is not used. With `clean`, the
    // update starts with deleteAllSignaturesNotIn.
    void install(const QList<BRSSignature>& signatures, bool clean, const Observer& observer) override;
    // Installs or replaces one signature.
    [[nodiscard]] Result<void> setSignatureWithName(const QString& name, const QString& htmlContent);
    // Deletes at once every Outlook signature whose name is not listed, those the user made by hand
    // included. An empty list leaves everything in place. Failures are logged, not reported.
    void deleteAllSignaturesNotIn(const QStringList& names);
    [[nodiscard]] QString appName() const override;

    // The script texts, exposed so tests can hold them to the exact bytes Outlook is sent. Names and HTML
    // go in as portableText maps them.
    [[nodiscard]] static QString setSignatureScript(const QString& name, const QString& htmlContent);
    [[nodiscard]] static QString deleteSignaturesScript(const QStringList& namesToKeep);

private:
    BRSAppleScript script_;
};
