#pragma once

#include <QString>
#include <optional>

#include "SimulatorState.h"

// Runs one script against the simulated Outlook, Mail and System Preferences. It knows exactly the
// scripts the agent sends; anything else is a syntax error, so a change to a script text shows up as a
// failing test instead of passing unnoticed.
class Simulator final {
public:
    struct Outcome {
        // The result in human-readable form, or nothing when the script produced no value.
        std::optional<QString> result;
        // Set when the script failed: the line `osascript` prints on standard error.
        QString errorLine;
    };

    explicit Simulator(SimulatorState& state);

    [[nodiscard]] Outcome run(const QString& source);

private:
    std::optional<Outcome> runOutlookSetSignature(const QString& source);
    std::optional<Outcome> runOutlookCleanUp(const QString& source);
    std::optional<Outcome> runMail(const QString& source);
    std::optional<Outcome> runSystemPreferences(const QString& source);
    // The failure the state file asks for when a script addresses `application`, if any.
    [[nodiscard]] std::optional<Outcome> refusal(const QString& application, qsizetype scriptLength) const;

    SimulatorState& state_;
};
