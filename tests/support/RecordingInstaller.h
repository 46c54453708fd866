#pragma once

#include <QStringList>
#include <optional>

#include "BRSMailAppService.h"

// An installer that writes what it is asked into a log shared by the test, and refuses the names it is
// told to fail, with the error it is given (a script error naming the client when none is).
class RecordingInstaller final : public BRSMailAppService {
public:
    RecordingInstaller(QString name, QStringList& log, QStringList failing = {},
                       std::optional<Error> failure = std::nullopt)
        : name_(std::move(name)), log_(log), failing_(std::move(failing)), failure_(std::move(failure)) {}

    void install(const QList<BRSSignature>& signatures, bool clean, const Observer& observer) override;
    QString appName() const override { return name_; }

private:
    QString name_;
    QStringList& log_;
    QStringList failing_;
    std::optional<Error> failure_;
};
