#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QPair>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <chrono>

#include "BRSAppleScript.h"

// The simulator with a fresh state file of its own, named in this process's environment (and restored on
// destruction), so that every runner made with `script()` reaches it.
class FakeOsascript final {
public:
    FakeOsascript();
    ~FakeOsascript();
    FakeOsascript(const FakeOsascript&) = delete;
    FakeOsascript& operator=(const FakeOsascript&) = delete;

    // The simulator's executable.
    [[nodiscard]] static QString program();
    // A runner whose scripts go to the simulator.
    [[nodiscard]] static BRSAppleScript script(
        std::chrono::milliseconds timeout = ScriptProcess::kDefaultTimeout);

    [[nodiscard]] QJsonObject state() const;
    void setState(const QJsonObject& state);

    // (name, content) of every Outlook signature, in Outlook's order.
    [[nodiscard]] QList<QPair<QString, QString>> outlookSignatures() const;
    [[nodiscard]] QStringList outlookSignatureNames() const;
    void addOutlookSignatures(const QStringList& names);
    // "notInstalled" or "notAuthorized" for every script addressed at `application`.
    void setFailure(const QString& application, const QString& failure);
    // "killed", "silent" or "hang": the simulator itself fails (or never answers) before it reads the script.
    void setProcessFailure(const QString& failure);
    void setMailRunning(bool running);
    [[nodiscard]] bool mailRunning() const;
    [[nodiscard]] qint64 scriptsRun() const;

private:
    QTemporaryDir dir_;
    QString statePath_;
    QByteArray savedState_;
};
