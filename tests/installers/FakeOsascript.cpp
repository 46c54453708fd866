#include "FakeOsascript.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>

FakeOsascript::FakeOsascript()
    : statePath_(dir_.filePath(QStringLiteral("state.json"))),
      savedState_(qgetenv("ORLIN_FAKE_OSASCRIPT_STATE")) {
    qputenv("ORLIN_FAKE_OSASCRIPT_STATE", QFile::encodeName(statePath_));
}

FakeOsascript::~FakeOsascript() {
    qputenv("ORLIN_FAKE_OSASCRIPT_STATE", savedState_);
}

QString FakeOsascript::program() {
    return QStringLiteral(ORLIN_FAKE_OSASCRIPT_DIR "/osascript");
}

BRSAppleScript FakeOsascript::script(std::chrono::milliseconds timeout) {
    return BRSAppleScript(ScriptProcess({.program = program(), .environment = {}, .timeout = timeout}));
}

QJsonObject FakeOsascript::state() const {
    QFile file(statePath_);
    return file.open(QIODevice::ReadOnly) ? QJsonDocument::fromJson(file.readAll()).object() : QJsonObject();
}

void FakeOsascript::setState(const QJsonObject& state) {
    QFile file(statePath_);
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        file.write(QJsonDocument(state).toJson());
    }
}

QList<QPair<QString, QString>> FakeOsascript::outlookSignatures() const {
    QList<QPair<QString, QString>> signatures;
    const QJsonArray list =
        state().value(QLatin1String("outlook")).toObject().value(QLatin1String("signatures")).toArray();
    for (const QJsonValue& value : list) {
        const QJsonObject signature = value.toObject();
        signatures.append({signature.value(QLatin1String("name")).toString(),
                           signature.value(QLatin1String("content")).toString()});
    }
    return signatures;
}

QStringList FakeOsascript::outlookSignatureNames() const {
    QStringList names;
    for (const auto& signature : outlookSignatures()) {
        names.append(signature.first);
    }
    return names;
}

void FakeOsascript::addOutlookSignatures(const QStringList& names) {
    QJsonObject root = state();
    QJsonObject outlook = root.value(QLatin1String("outlook")).toObject();
    QJsonArray list = outlook.value(QLatin1String("signatures")).toArray();
    for (const QString& name : names) {
        list.append(QJsonObject{{QLatin1String("id"), list.size() + 1},
                                {QLatin1String("name"), name},
                                {QLatin1String("content"), QStringLiteral("<p>%1 by hand</p>").arg(name)}});
    }
    outlook.insert(QLatin1String("signatures"), list);
    root.insert(QLatin1String("outlook"), outlook);
    setState(root);
}

void FakeOsascript::setFailure(const QString& application, const QString& failure) {
    QJsonObject root = state();
    QJsonObject failures = root.value(QLatin1String("failures")).toObject();
    failures.insert(application, failure);
    root.insert(QLatin1String("failures"), failures);
    setState(root);
}

void FakeOsascript::setProcessFailure(const QString& failure) {
    QJsonObject root = state();
    root.insert(QLatin1String("process"), failure);
    setState(root);
}

void FakeOsascript::setMailRunning(bool running) {
    QJsonObject root = state();
    root.insert(QLatin1String("mail"), QJsonObject{{QLatin1String("running"), running}});
    setState(root);
}

bool FakeOsascript::mailRunning() const {
    return state().value(QLatin1String("mail")).toObject().value(QLatin1String("running")).toBool();
}

qint64 FakeOsascript::scriptsRun() const {
    return state().value(QLatin1String("scriptsRun")).toInteger();
}
