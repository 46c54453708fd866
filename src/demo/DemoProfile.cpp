#include "DemoProfile.h"

#include <QBuffer>
#include <QCryptographicHash>
#include <QImageReader>
#include <QJsonArray>
#include <QRegularExpression>
#include <QSet>

namespace {

const QString kFullName = QStringLiteral("fullName");
const QString kJobTitle = QStringLiteral("jobTitle");
const QString kPhone = QStringLiteral("phone");
const QString kEmail = QStringLiteral("email");
const QString kOffice = QStringLiteral("office");
const QString kLogo = QStringLiteral("logo");
const QString kShowPhone = QStringLiteral("showPhone");

const QString kCompany = QStringLiteral("Halvex Demo Ltd.");
// The reference the HTML bodies use for the logo; the agent replaces it with the image's address.
const QString kLogoReference = QStringLiteral("demo-logo");

// A one-line text field longer than this is a paste gone wrong, not a name or a title.
constexpr qsizetype kMaximumTextLength = 200;
// Signature images are small; a larger upload would bloat every e-mail the user sends.
constexpr qsizetype kMaximumImageBytes = 512 * 1024;

QString addressOf(const QString& office) {
    if (office == QLatin1String("London")) {
        return QStringLiteral("1 Long Lane, London EC1A 9HF, United Kingdom");
    }
    if (office == QLatin1String("New York")) {
        return QStringLiteral("350 Fifth Avenue, New York, NY 10118, USA");
    }
    return QStringLiteral("Strandgade 12, 1401 Copenhagen K, Denmark");
}

QString html(const QString& text) {
    return text.toHtmlEscaped();
}

// Digits and a leading plus only, so the tel: address stays valid whatever the user typed.
QString telAddress(const QString& phone) {
    QString address;
    for (const QChar c : phone) {
        if (c.isDigit() || (c == QLatin1Char('+') && address.isEmpty())) {
            address += c;
        }
    }
    return address;
}

QJsonObject signature(const QString& name, const QString& htmlBody, const QString& textBody) {
    return QJsonObject{{QStringLiteral("Name"), name},
                       {QStringLiteral("HTML"), htmlBody},
                       {QStringLiteral("Text"), textBody}};
}

bool isImage(const QByteArray& data) {
    QBuffer buffer;
    buffer.setData(data);
    QImageReader reader(&buffer);
    return reader.canRead() && reader.size().isValid();
}

QString uuidText(const QUuid& id) {
    return id.toString(QUuid::WithoutBraces).toUpper();
}

}  // namespace

DemoProfile DemoProfile::initial(const QByteArray& logoPng) {
    using enum ProfileFieldType;
    DemoProfile profile;
    profile.fields_ = {
        {kFullName, QStringLiteral("Full name"), Text, QStringLiteral("Ann Example"), {}},
        {kJobTitle, QStringLiteral("Job title"), Text, QStringLiteral("Head of Customer Success"), {}},
        {kPhone, QStringLiteral("Phone"), Text, QStringLiteral("+45 33 12 34 56"), {}},
        {kEmail, QStringLiteral("E-mail"), Text, QStringLiteral("ann.example@demo.orlin.example"), {}},
        {kOffice,
         QStringLiteral("Office"),
         List,
         QStringLiteral("Copenhagen"),
         {QStringLiteral("Copenhagen"), QStringLiteral("London"), QStringLiteral("New York")}},
        {kLogo, QStringLiteral("Logo"), Image, QString::fromLatin1(logoPng.toBase64()), {}},
        {kShowPhone, QStringLiteral("Show phone number"), Boolean, QStringLiteral("true"), {}},
    };
    profile.colleagues_ = {
        {QUuid(QStringLiteral("6f1c2a4e-8d3b-4f5a-9c7e-1b2d3e4f5a6b")), QStringLiteral("Bo Jensen"),
         QStringLiteral("bo.jensen@demo.orlin.example"), QStringLiteral("Sales Director"), true},
        {QUuid(QStringLiteral("0a9b8c7d-6e5f-4a3b-8c2d-1e0f9a8b7c6d")), QStringLiteral("Clara Lund"),
         QStringLiteral("clara.lund@demo.orlin.example"), QStringLiteral("Support Lead"), false},
        {QUuid(QStringLiteral("5e4d3c2b-1a09-4f8e-b7d6-c5b4a3928170")), QStringLiteral("David Moss"),
         QStringLiteral("david.moss@demo.orlin.example"), QStringLiteral("Chief Executive Officer"), false},
    };
    return profile;
}

std::optional<DemoProfile> DemoProfile::fromStoredJson(const QJsonObject& json) {
    DemoProfile profile;
    for (const QJsonValue& item : json.value(QStringLiteral("fields")).toArray()) {
        const QJsonObject object = item.toObject();
        Field field;
        field.code = object.value(QStringLiteral("code")).toString();
        field.displayName = object.value(QStringLiteral("displayName")).toString();
        const std::optional<ProfileFieldType> type =
            ProfileFieldTypes::fromWire(object.value(QStringLiteral("fieldType")).toInteger());
        field.value = object.value(QStringLiteral("value")).toString();
        for (const QJsonValue& choice : object.value(QStringLiteral("listItems")).toArray()) {
            field.listItems.append(choice.toString());
        }
        if (field.code.isEmpty() || !type) {
            return std::nullopt;
        }
        field.type = *type;
        profile.fields_.append(field);
    }
    for (const QJsonValue& item : json.value(QStringLiteral("colleagues")).toArray()) {
        const QJsonObject object = item.toObject();
        Colleague colleague{QUuid(object.value(QStringLiteral("id")).toString()),
                            object.value(QStringLiteral("displayName")).toString(),
                            object.value(QStringLiteral("email")).toString(),
                            object.value(QStringLiteral("title")).toString(),
                            object.value(QStringLiteral("selected")).toBool()};
        if (colleague.id.isNull()) {
            return std::nullopt;
        }
        profile.colleagues_.append(colleague);
    }
    // A file that lost its name field would render signatures without a sender; start over instead.
    if (!profile.field(kFullName)) {
        return std::nullopt;
    }
    return profile;
}

QJsonObject DemoProfile::toStoredJson() const {
    QJsonArray fields;
    for (const Field& field : fields_) {
        fields.append(
            QJsonObject{{QStringLiteral("code"), field.code},
                        {QStringLiteral("displayName"), field.displayName},
                        {QStringLiteral("fieldType"), ProfileFieldTypes::toWire(field.type)},
                        {QStringLiteral("value"), field.value},
                        {QStringLiteral("listItems"), QJsonArray::fromStringList(field.listItems)}});
    }
    QJsonArray colleagues;
    for (const Colleague& colleague : colleagues_) {
        colleagues.append(QJsonObject{{QStringLiteral("id"), uuidText(colleague.id)},
                                      {QStringLiteral("displayName"), colleague.displayName},
                                      {QStringLiteral("email"), colleague.email},
                                      {QStringLiteral("title"), colleague.title},
                                      {QStringLiteral("selected"), colleague.selected}});
    }
    return QJsonObject{{QStringLiteral("fields"), fields}, {QStringLiteral("colleagues"), colleagues}};
}

QJsonObject DemoProfile::toServiceJson() const {
    QJsonArray fields;
    for (const Field& field : fields_) {
        fields.append(
            QJsonObject{{QStringLiteral("code"), field.code},
                        {QStringLiteral("displayName"), field.displayName},
                        {QStringLiteral("isImageType"), field.type == ProfileFieldType::Image},
                        {QStringLiteral("fieldType"), ProfileFieldTypes::toWire(field.type)},
                        {QStringLiteral("value"), field.value},
                        {QStringLiteral("listItems"), QJsonArray::fromStringList(field.listItems)}});
    }
    QJsonArray colleagues;
    for (const Colleague& colleague : colleagues_) {
        colleagues.append(QJsonObject{{QStringLiteral("id"), uuidText(colleague.id)},
                                      {QStringLiteral("employeeDisplayName"), colleague.displayName},
                                      {QStringLiteral("employeeEmail"), colleague.email},
                                      {QStringLiteral("selected"), colleague.selected}});
    }
    return QJsonObject{{QStringLiteral("fields"), fields},
                       {QStringLiteral("sharedEmployees"), colleagues},
                       {QStringLiteral("editable"), true}};
}

bool DemoProfile::applyUpdate(const QJsonObject& body, QString* error) {
    const QJsonValue fieldsValue = body.value(QStringLiteral("fields"));
    const QJsonValue selectedValue = body.value(QStringLiteral("sharedEmployees"));
    if (!fieldsValue.isArray() || !selectedValue.isArray()) {
        *error = QStringLiteral("The profile update could not be read.");
        return false;
    }
    DemoProfile updated = *this;
    for (const QJsonValue& item : fieldsValue.toArray()) {
        const QJsonObject object = item.toObject();
        const QJsonValue code = object.value(QStringLiteral("code"));
        const QJsonValue value = object.value(QStringLiteral("value"));
        Field* target = code.isString() ? updated.field(code.toString()) : nullptr;
        if (!target || !value.isString()) {
            *error = QStringLiteral("The profile has no field \"%1\".").arg(code.toString());
            return false;
        }
        const QString text = value.toString();
        switch (target->type) {
            case ProfileFieldType::Text:
                if (text.size() > kMaximumTextLength || text.contains(QLatin1Char('\n'))) {
                    *error = QStringLiteral("%1 must be one line of at most %2 characters.")
                                 .arg(target->displayName)
                                 .arg(kMaximumTextLength);
                    return false;
                }
                break;
            case ProfileFieldType::List:
                if (!target->listItems.contains(text)) {
                    *error = QStringLiteral("\"%1\" is not one of the choices for %2.")
                                 .arg(text, target->displayName);
                    return false;
                }
                break;
            case ProfileFieldType::Boolean:
                if (text != QLatin1String("true") && text != QLatin1String("false")) {
                    *error = QStringLiteral("%1 must be true or false.").arg(target->displayName);
                    return false;
                }
                break;
            case ProfileFieldType::Image: {
                const auto decoded =
                    QByteArray::fromBase64Encoding(text.toLatin1(), QByteArray::AbortOnBase64DecodingErrors);
                if (!text.isEmpty() &&
                    (!decoded || decoded.decoded.size() > kMaximumImageBytes || !isImage(decoded.decoded))) {
                    *error = QStringLiteral("%1 must be a picture of at most %2 KB.")
                                 .arg(target->displayName)
                                 .arg(kMaximumImageBytes / 1024);
                    return false;
                }
                break;
            }
        }
        target->value = text;
    }
    QSet<QUuid> selected;
    for (const QJsonValue& item : selectedValue.toArray()) {
        const QUuid id(item.toString());
        if (id.isNull()) {
            *error = QStringLiteral("\"%1\" is not a colleague's id.").arg(item.toString());
            return false;
        }
        selected.insert(id);
    }
    for (Colleague& colleague : updated.colleagues_) {
        colleague.selected = selected.contains(colleague.id);
    }
    *this = std::move(updated);
    return true;
}

QString DemoProfile::value(const QString& code) const {
    for (const Field& field : fields_) {
        if (field.code == code) {
            return field.value;
        }
    }
    return {};
}

DemoProfile::Field* DemoProfile::field(const QString& code) {
    for (Field& field : fields_) {
        if (field.code == code) {
            return &field;
        }
    }
    return nullptr;
}

QByteArray DemoProfile::logoData() const {
    return QByteArray::fromBase64(value(kLogo).toLatin1());
}

QString DemoProfile::logoPath() const {
    const QByteArray data = logoData();
    if (data.isEmpty()) {
        return {};
    }
    const QByteArray digest = QCryptographicHash::hash(data, QCryptographicHash::Sha1).toHex().left(12);
    return QStringLiteral("/images/logo-%1.png").arg(QString::fromLatin1(digest));
}

QJsonObject DemoProfile::signaturesJson() const {
    const QString name = value(kFullName);
    const QString title = value(kJobTitle);
    const QString email = value(kEmail);
    const QString address = addressOf(value(kOffice));
    const bool showPhone = value(kShowPhone) == QLatin1String("true") && !value(kPhone).isEmpty();
    const QString phone = value(kPhone);
    const bool hasLogo = !logoPath().isEmpty();

    const QString font =
        QStringLiteral("font-family: Helvetica, Arial, sans-serif; font-size: 13px; color: #222;");
    const QString logoCell =
        hasLogo ? QStringLiteral(
                      "<td style=\"padding-right: 12px; vertical-align: top;\"><img src=\"%1\" "
                      "width=\"64\" height=\"64\" alt=\"%2\"></td>")
                      .arg(kLogoReference, html(kCompany))
                : QString();
    const QString phoneLine =
        showPhone ? QStringLiteral("<br>Phone: <a href=\"tel:%1\" style=\"color: #1a5fb4;\">%2</a>")
                        .arg(telAddress(phone), html(phone))
                  : QString();
    const QString emailLine =
        email.isEmpty()
            ? QString()
            : QStringLiteral("<br><a href=\"mailto:%1\" style=\"color: #1a5fb4;\">%1</a>").arg(html(email));

    QJsonArray signatures;
    signatures.append(signature(
        QStringLiteral("Demo Full"),
        QStringLiteral("<table cellpadding=\"0\" cellspacing=\"0\" style=\"%1\"><tr>%2<td>"
                       "<b style=\"font-size: 15px;\">%3</b><br>%4<br>%5<br>%6%7%8</td></tr></table>")
            .arg(font, logoCell, html(name), html(title), html(kCompany), html(address), phoneLine,
                 emailLine),
        QStringList{name, title, kCompany, address, showPhone ? QStringLiteral("Phone: ") + phone : QString(),
                    email}
            .filter(QRegularExpression(QStringLiteral(".")))
            .join(QLatin1Char('\n'))));
    signatures.append(signature(QStringLiteral("Demo Reply"),
                                QStringLiteral("<p style=\"%1\"><b>%2</b> | %3 | %4%5</p>")
                                    .arg(font, html(name), html(title), html(kCompany),
                                         showPhone ? QStringLiteral(" | ") + html(phone) : QString()),
                                QStringList{name, title, kCompany, showPhone ? phone : QString()}
                                    .filter(QRegularExpression(QStringLiteral(".")))
                                    .join(QStringLiteral(" | "))));
    signatures.append(
        signature(QStringLiteral("Demo Short"),
                  QStringLiteral("<p style=\"%1\">Best regards,<br>%2</p>").arg(font, html(name)),
                  QStringLiteral("Best regards,\n") + name));
    for (const Colleague& colleague : colleagues_) {
        if (!colleague.selected) {
            continue;
        }
        signatures.append(signature(
            QStringLiteral("Demo Team - ") + colleague.displayName,
            QStringLiteral("<table cellpadding=\"0\" cellspacing=\"0\" style=\"%1\"><tr>%2<td>%3<br>"
                           "on behalf of <b>%4</b>, %5<br>%6<br>"
                           "<a href=\"mailto:%7\" style=\"color: #1a5fb4;\">%7</a></td></tr></table>")
                .arg(font, logoCell, html(name), html(colleague.displayName), html(colleague.title),
                     html(kCompany), html(colleague.email)),
            QStringLiteral("%1\non behalf of %2, %3\n%4\n%5")
                .arg(name, colleague.displayName, colleague.title, kCompany, colleague.email)));
    }

    QJsonObject answer{{QStringLiteral("signatures"), signatures}, {QStringLiteral("clean"), false}};
    if (hasLogo) {
        answer.insert(QStringLiteral("images"),
                      QJsonArray{QJsonObject{{QStringLiteral("Name"), kLogoReference},
                                             {QStringLiteral("Url"), logoPath()}}});
    }
    return answer;
}
