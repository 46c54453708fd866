#include "Simulator.h"

#include <algorithm>

#include "ScriptReader.h"

namespace {

const QString kOutlook = QStringLiteral("Microsoft Outlook");
const QString kMail = QStringLiteral("Mail");
const QString kSystemPreferences = QStringLiteral("System Preferences");

// osascript names the character range of the failing statement, the message, then the error number.
QString errorLine(const char* kind, qsizetype from, qsizetype to, const QString& message, int number) {
    return QStringLiteral("%1:%2: %3 error: %4 (%5)")
        .arg(from)
        .arg(to)
        .arg(QLatin1String(kind), message)
        .arg(number);
}

Simulator::Outcome executionError(qsizetype to, const QString& message, int number) {
    return Simulator::Outcome{std::nullopt, errorLine("execution", 0, to, message, number)};
}

bool sameName(const QString& a, const QString& b) {
    // AppleScript compares text ignoring case unless told otherwise.
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

const QString kSetSignatureTail = QStringLiteral(
    "\n"
    "tell application \"Microsoft Outlook\"\n"
    "set S to every signature whose name is sigName\n"
    "if (count S) is 0 then\n"
    "make new signature with properties {name:sigName, content:sigContent}\n"
    "else\n"
    "set [R] to S\n"
    "set the content of R to the sigContent\n"
    "end if\n"
    "end tell\n");

const QString kCleanUpTail = QStringLiteral(
    "\n"
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

const QString kSystemPreferencesScript = QStringLiteral(
    "tell application \"System Preferences\"\n"
    "activate\n"
    "set the current pane to pane id \"com.apple.preferences.icloud\"\n"
    "end tell\n");

}  // namespace

Simulator::Simulator(SimulatorState& state) : state_(state) {}

Simulator::Outcome Simulator::run(const QString& source) {
    ++state_.scriptsRun;
    for (auto handler : {&Simulator::runOutlookSetSignature, &Simulator::runOutlookCleanUp,
                         &Simulator::runMail, &Simulator::runSystemPreferences}) {
        if (std::optional<Outcome> outcome = (this->*handler)(source)) {
            return *outcome;
        }
    }
    return Outcome{std::nullopt,
                   errorLine("syntax", 0, source.size(),
                             QStringLiteral("Expected end of line but found unknown token."), -2741)};
}

std::optional<Simulator::Outcome> Simulator::refusal(const QString& application,
                                                     qsizetype scriptLength) const {
    const QString failure = state_.failures.value(application);
    if (failure == QLatin1String("notInstalled")) {
        return executionError(scriptLength, QStringLiteral("Can’t get application \"%1\".").arg(application),
                              -1728);
    }
    if (failure == QLatin1String("notAuthorized")) {
        return executionError(scriptLength,
                              QStringLiteral("Not authorized to send Apple events to %1.").arg(application),
                              -1743);
    }
    return std::nullopt;
}

std::optional<Simulator::Outcome> Simulator::runOutlookSetSignature(const QString& source) {
    ScriptReader reader(source);
    if (!reader.take(u"property sigName : ")) {
        return std::nullopt;
    }
    const std::optional<QString> name = reader.takeStringLiteral();
    if (!name || !reader.take(u"\nproperty sigContent : ")) {
        return std::nullopt;
    }
    const std::optional<QString> content = reader.takeStringLiteral();
    if (!content || !reader.take(kSetSignatureTail) || !reader.atEnd()) {
        return std::nullopt;
    }
    if (std::optional<Outcome> refused = refusal(kOutlook, source.size())) {
        return refused;
    }
    for (SimulatorState::OutlookSignature& signature : state_.outlookSignatures) {
        if (sameName(signature.name, *name)) {
            signature.content = *content;
            return Outcome{*content, {}};
        }
    }
    const qint64 id = state_.nextOutlookId++;
    state_.outlookSignatures.append({id, *name, *content});
    return Outcome{QStringLiteral("signature id %1").arg(id), {}};
}

std::optional<Simulator::Outcome> Simulator::runOutlookCleanUp(const QString& source) {
    ScriptReader reader(source);
    if (!reader.take(u"set orlinSignatures to ")) {
        return std::nullopt;
    }
    const std::optional<QStringList> keep = reader.takeStringList();
    if (!keep || !reader.take(kCleanUpTail) || !reader.atEnd()) {
        return std::nullopt;
    }
    if (std::optional<Outcome> refused = refusal(kOutlook, source.size())) {
        return refused;
    }
    QStringList toDelete;
    for (const SimulatorState::OutlookSignature& signature : state_.outlookSignatures) {
        const bool listed = std::any_of(keep->cbegin(), keep->cend(),
                                        [&](const QString& name) { return sameName(name, signature.name); });
        if (!listed) {
            toDelete.append(signature.name);
        }
    }
    for (const QString& name : toDelete) {
        const auto it =
            std::find_if(state_.outlookSignatures.begin(), state_.outlookSignatures.end(),
                         [&](const SimulatorState::OutlookSignature& s) { return sameName(s.name, name); });
        if (it == state_.outlookSignatures.end()) {
            return executionError(
                source.size(),
                QStringLiteral("Microsoft Outlook got an error: Can’t get signature \"%1\".").arg(name),
                -1728);
        }
        state_.outlookSignatures.erase(it);
    }
    return Outcome{};
}

std::optional<Simulator::Outcome> Simulator::runMail(const QString& source) {
    // These come as one line, with or without its line feed.
    QString line = source;
    if (line.endsWith(QLatin1Char('\n'))) {
        line.chop(1);
    }
    if (line == QLatin1String("application \"Mail\" is running")) {
        // Asking needs no Apple event, so no refusal applies.
        return Outcome{state_.mailRunning ? QStringLiteral("true") : QStringLiteral("false"), {}};
    }
    const bool quit = line == QLatin1String("tell application \"Mail\" to quit");
    const bool start = line == QLatin1String("tell application \"Mail\" to run");
    if (!quit && !start) {
        return std::nullopt;
    }
    if (std::optional<Outcome> refused = refusal(kMail, source.size())) {
        return refused;
    }
    state_.mailRunning = start;
    return Outcome{};
}

std::optional<Simulator::Outcome> Simulator::runSystemPreferences(const QString& source) {
    if (source != kSystemPreferencesScript) {
        return std::nullopt;
    }
    if (std::optional<Outcome> refused = refusal(kSystemPreferences, source.size())) {
        return refused;
    }
    state_.systemPreferencesPane = QStringLiteral("com.apple.preferences.icloud");
    return Outcome{};
}
