#pragma once

#include <QList>
#include <QString>
#include <functional>

#include "BRSSignature.h"
#include "Result.h"

// A mail client the update cycle installs signatures into. The cycle holds each installer only through
// this interface: one install call per update with every signature, and appName in its messages.
class BRSMailAppService {
public:
    enum class Next { Continue, StopClient };

    // Follows an update one signature at a time, in the order given. Either function may be left empty:
    // an empty `installed` lets the update go on.
    struct Observer {
        // Before the signature at `index` is installed.
        std::function<void(qsizetype index)> willInstall;
        // How it went. StopClient ends this client's part of the update: the signatures after it are not
        // tried, and nothing more is reported.
        std::function<Next(qsizetype index, const Result<void>& outcome)> installed;

        void announce(qsizetype index) const {
            if (willInstall) {
                willInstall(index);
            }
        }
        [[nodiscard]] Next report(qsizetype index, const Result<void>& outcome) const {
            return installed ? installed(index, outcome) : Next::Continue;
        }
    };

    virtual ~BRSMailAppService();

    // Installs or replaces every signature. With `clean`, the client keeps only these signatures
    // afterwards; each client has its own rule for when the others go. Every outcome goes to the observer:
    // a failure that concerns the whole client is reported for each signature in turn.
    virtual void install(const QList<BRSSignature>& signatures, bool clean, const Observer& observer) = 0;
    // The client's name as the user knows it.
    [[nodiscard]] virtual QString appName() const = 0;

    // The text as every client can hold it: each character that neither an XML property list nor an
    // AppleScript literal may carry (NUL and the other C0 controls but tab, line feed and return, lone
    // surrogates, U+FFFE, U+FFFF) becomes U+FFFD followed by its code as four upper-case hex digits. The
    // code keeps two names that differ only there apart; everything else passes unchanged, so a mapped
    // text maps to itself and a name settles after one update.
    [[nodiscard]] static QString portableText(const QString& text);
};
