#pragma once

#include <QStringList>

#include "BRSMailAppService.h"

// An installer that writes what it is asked into a log shared by the test, and refuses the names it is
// told to fail.
class RecordingInstaller final : public BRSMailAppService {
public:
    RecordingInstaller(QString name, QStringList& log, QStringList failing = {})
        : name_(std::move(name)), log_(log), failing_(std::move(failing)) {}

    void deleteAllSignaturesNotIn(const QStringList& names) override;
    bool setSignatureWithName(const QString& name, const QString& htmlContent, const QString& textContent,
                              Error* error) override;
    QString appName() const override { return name_; }

private:
    QString name_;
    QStringList& log_;
    QStringList failing_;
};
