#pragma once

#include <QString>

// One signature to install: its name, its HTML body with absolute image addresses, and its plain text.
class BRSSignature final {
public:
    BRSSignature() = default;
    BRSSignature(QString name, QString htmlContent, QString textContent)
        : name_(std::move(name)),
          htmlContent_(std::move(htmlContent)),
          textContent_(std::move(textContent)) {}

    [[nodiscard]] const QString& name() const { return name_; }
    [[nodiscard]] const QString& htmlContent() const { return htmlContent_; }
    [[nodiscard]] const QString& textContent() const { return textContent_; }

private:
    QString name_;
    QString htmlContent_;
    QString textContent_;
};
