#pragma once

#include <QList>
#include <QString>
#include <optional>

#include "Error.h"

struct Environment;
class UserDefaults;

// What `--diagnose` reports about this installation: one finding per line, readable by the person who
// runs it and pasteable into a support ticket. Gathering reads files and asks the secret store whether
// it answers; it never shows a secret and never talks to the service unless asked to go online.
class Diagnosis final {
public:
    struct Finding {
        QString label;
        QString value;
        // Something the user or an administrator has to fix before signatures can be installed.
        bool problem = false;
    };

    // Written by every tick, so a diagnosis can tell when the agent last reached the service.
    static inline const QString kLastCheckTimeKey = QStringLiteral("lastCheckTime");
    static inline const QString kLastCheckResultKey = QStringLiteral("lastCheckResult");
    static inline const QString kCheckSucceeded = QStringLiteral("succeeded");

    Diagnosis() = delete;

    // With `online`, one check is run against the service (and a renewed access code is kept, as the
    // agent does), unless a running agent holds the data: two users of one refresh token would race.
    [[nodiscard]] static QList<Finding> gather(const Environment& environment, bool online);
    // One line per finding, problems marked, and a closing line that counts them.
    [[nodiscard]] static QString format(const QList<Finding>& findings);
    [[nodiscard]] static bool hasProblems(const QList<Finding>& findings);

    // The outcome of one tick: nothing for a check that succeeded.
    static void recordCheck(UserDefaults& defaults, const std::optional<Error>& error);
    static void recordCheck(UserDefaults& defaults, const QString& result);
};
