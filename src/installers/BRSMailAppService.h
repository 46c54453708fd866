#pragma once

#include <QString>
#include <QStringList>

#include "Error.h"

// A mail client the update cycle installs signatures into. The cycle holds each installer only through
// this interface: first, when the whole set is replaced, deleteAllSignaturesNotIn with every name it is
// about to install, then setSignatureWithName once per signature, and appName in its messages.
class BRSMailAppService {
public:
    virtual ~BRSMailAppService();

    // Prepares replacing the client's signatures by the listed ones; each client has its own rule for
    // when the others go.
    virtual void deleteAllSignaturesNotIn(const QStringList& names) = 0;
    // Installs or replaces the signature of that name. False on failure, as a rule with the error set.
    [[nodiscard]] virtual bool setSignatureWithName(const QString& name, const QString& htmlContent,
                                                    const QString& textContent, Error* error = nullptr) = 0;
    // The client's name as the user knows it.
    [[nodiscard]] virtual QString appName() const = 0;

    // The text as every client can hold it: each character that neither an XML property list nor an
    // AppleScript literal may carry (NUL and the other C0 controls but tab, line feed and return, lone
    // surrogates, U+FFFE, U+FFFF) becomes U+FFFD followed by its code as four upper-case hex digits. The
    // code keeps two names that differ only there apart; everything else passes unchanged, so a mapped
    // text maps to itself and a name settles after one update.
    [[nodiscard]] static QString portableText(const QString& text);
};
