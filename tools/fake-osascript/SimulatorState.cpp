#include "SimulatorState.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QSaveFile>

SimulatorState SimulatorState::load() {
    SimulatorState state;
    state.path_ = qEnvironmentVariable("ORLIN_FAKE_OSASCRIPT_STATE");
    if (state.path_.isEmpty()) {
        return state;
    }
    QFile file(state.path_);
    if (!file.open(QIODevice::ReadOnly)) {
        return state;
    }
    const QJsonObject root = QJsonDocument::fromJson(file.readAll()).object();
    state.original_ = root;

    const QJsonObject outlook = root.value(QLatin1String("outlook")).toObject();
    for (const QJsonValue& value : outlook.value(QLatin1String("signatures")).toArray()) {
        const QJsonObject signature = value.toObject();
        OutlookSignature entry{signature.value(QLatin1String("id")).toInteger(),
                               signature.value(QLatin1String("name")).toString(),
                               signature.value(QLatin1String("content")).toString()};
        state.nextOutlookId = qMax(state.nextOutlookId, entry.id + 1);
        state.outlookSignatures.append(std::move(entry));
    }
    state.nextOutlookId = qMax(state.nextOutlookId, outlook.value(QLatin1String("nextId")).toInteger(1));
    state.mailRunning = root.value(QLatin1String("mail")).toObject().value(QLatin1String("running")).toBool();
    state.systemPreferencesPane = root.value(QLatin1String("systemPreferences"))
                                      .toObject()
                                      .value(QLatin1String("currentPane"))
                                      .toString();
    const QJsonObject failures = root.value(QLatin1String("failures")).toObject();
    for (auto it = failures.constBegin(); it != failures.constEnd(); ++it) {
        state.failures.insert(it.key(), it.value().toString());
    }
    state.processFailure = root.value(QLatin1String("process")).toString();
    state.scriptsRun = root.value(QLatin1String("scriptsRun")).toInteger();
    return state;
}

bool SimulatorState::save() const {
    if (path_.isEmpty()) {
        return true;
    }
    QJsonObject root = original_;
    QJsonArray signatures;
    for (const OutlookSignature& signature : outlookSignatures) {
        signatures.append(QJsonObject{{QLatin1String("id"), signature.id},
                                      {QLatin1String("name"), signature.name},
                                      {QLatin1String("content"), signature.content}});
    }
    root.insert(QLatin1String("outlook"), QJsonObject{{QLatin1String("signatures"), signatures},
                                                      {QLatin1String("nextId"), nextOutlookId}});
    root.insert(QLatin1String("mail"), QJsonObject{{QLatin1String("running"), mailRunning}});
    if (!systemPreferencesPane.isEmpty()) {
        root.insert(QLatin1String("systemPreferences"),
                    QJsonObject{{QLatin1String("currentPane"), systemPreferencesPane}});
    }
    root.insert(QLatin1String("scriptsRun"), scriptsRun);

    QSaveFile file(path_);
    const QByteArray bytes = QJsonDocument(root).toJson();
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.commit();
}
