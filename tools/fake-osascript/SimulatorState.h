#pragma once

#include <QJsonObject>
#include <QList>
#include <QMap>
#include <QString>

// What the simulated applications remember between two runs of the simulator, kept as JSON in the file
// that ORLIN_FAKE_OSASCRIPT_STATE names (in memory only when the variable is not set):
//
//   {
//     "outlook": { "signatures": [ { "id": 1, "name": "…", "content": "…" } ], "nextId": 2 },
//     "mail": { "running": true },
//     "systemPreferences": { "currentPane": "…" },
//     "failures": { "Microsoft Outlook": "notInstalled", "Mail": "notAuthorized" },
//     "process": "killed" | "silent",
//     "scriptsRun": 3
//   }
//
// "failures" makes every script addressed at that application fail the way the system reports it;
// "process" makes the simulator itself die by a signal, or fail without printing anything.
class SimulatorState final {
public:
    struct OutlookSignature {
        qint64 id = 0;
        QString name;
        QString content;
    };

    [[nodiscard]] static SimulatorState load();
    // False when the file could not be written.
    [[nodiscard]] bool save() const;

    QList<OutlookSignature> outlookSignatures;
    qint64 nextOutlookId = 1;
    bool mailRunning = false;
    QString systemPreferencesPane;
    QMap<QString, QString> failures;
    QString processFailure;
    qint64 scriptsRun = 0;

private:
    QString path_;
    // Members the simulator does not know are written back as they were.
    QJsonObject original_;
};
