#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QList>
#include <QString>
#include <QStringList>
#include <QUuid>
#include <optional>

#include "ProfileFieldType.h"

// The demo user's profile as the demo service keeps it: typed fields and colleagues, and the signatures
// rendered from them. Rendering is a pure function of the profile, so a saved change shows up in the next
// signatures answer, and an unchanged profile gives byte-identical HTML (the agent compares digests).
class DemoProfile final {
public:
    struct Field {
        QString code;
        QString displayName;
        ProfileFieldType type = ProfileFieldType::Text;
        QString value;
        QStringList listItems;
    };

    struct Colleague {
        QUuid id;
        QString displayName;
        QString email;
        QString title;
        bool selected = false;
    };

    // The profile a fresh demo starts with; `logoPng` is the image field's first picture.
    [[nodiscard]] static DemoProfile initial(const QByteArray& logoPng);
    // Nothing when the JSON is not a profile this class wrote.
    [[nodiscard]] static std::optional<DemoProfile> fromStoredJson(const QJsonObject& json);
    [[nodiscard]] QJsonObject toStoredJson() const;

    // The "data" member of the profile read answer.
    [[nodiscard]] QJsonObject toServiceJson() const;
    // Applies a save body. All or nothing: on a refusal the profile is unchanged and `error` says why in
    // words a user can act on.
    [[nodiscard]] bool applyUpdate(const QJsonObject& body, QString* error);

    // The signatures answer: every signature with its HTML and text, and the logo as the one image,
    // addressed relative to the image host.
    [[nodiscard]] QJsonObject signaturesJson() const;
    // The path below the image host the current logo is served at; empty without a logo. It carries a
    // digest of the picture, so a new logo also changes the HTML that references it.
    [[nodiscard]] QString logoPath() const;
    [[nodiscard]] QByteArray logoData() const;

    [[nodiscard]] QString value(const QString& code) const;
    [[nodiscard]] const QList<Field>& fields() const { return fields_; }
    [[nodiscard]] const QList<Colleague>& colleagues() const { return colleagues_; }

private:
    [[nodiscard]] Field* field(const QString& code);

    QList<Field> fields_;
    QList<Colleague> colleagues_;
};
