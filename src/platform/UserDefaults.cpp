#include "UserDefaults.h"

#include <QMutexLocker>

UserDefaults& UserDefaults::standardUserDefaults() {
    static UserDefaults defaults;
    return defaults;
}

QVariantMap UserDefaults::argumentDomainFromArguments(const QStringList& arguments, QStringList* rest) {
    QVariantMap domain;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& argument = arguments.at(i);
        const bool isKey = argument.size() > 1 && argument.startsWith(QLatin1Char('-')) &&
                           !argument.startsWith(QLatin1String("--"));
        if (isKey && i + 1 < arguments.size()) {
            domain.insert(argument.mid(1), arguments.at(i + 1));
            ++i;
        } else if (rest) {
            rest->append(argument);
        }
    }
    return domain;
}

std::optional<bool> UserDefaults::boolFromValue(const QVariant& value) {
    switch (value.typeId()) {
        case QMetaType::Bool:
            return value.toBool();
        case QMetaType::Int:
        case QMetaType::UInt:
        case QMetaType::LongLong:
        case QMetaType::ULongLong:
        case QMetaType::Double:
            return value.toDouble() != 0.0;
        case QMetaType::QString: {
            const QString text = value.toString().trimmed().toLower();
            if (text == QLatin1String("yes") || text == QLatin1String("true") || text == QLatin1String("1")) {
                return true;
            }
            if (text == QLatin1String("no") || text == QLatin1String("false") || text == QLatin1String("0")) {
                return false;
            }
            return std::nullopt;
        }
        default:
            return std::nullopt;
    }
}

void UserDefaults::setArgumentDomain(const QVariantMap& domain) {
    QMutexLocker lock(&mutex_);
    argumentDomain_ = domain;
}

bool UserDefaults::synchronize() {
    return true;
}

QVariantMap UserDefaults::dictionaryRepresentation() const {
    QMutexLocker lock(&mutex_);
    QVariantMap merged = userDomain_;
    merged.insert(argumentDomain_);
    return merged;
}

QVariant UserDefaults::objectForKey(const QString& key) const {
    QMutexLocker lock(&mutex_);
    if (const auto it = argumentDomain_.constFind(key); it != argumentDomain_.cend()) {
        return *it;
    }
    return userDomain_.value(key);
}

void UserDefaults::setObject(const QVariant& value, const QString& key) {
    QMutexLocker lock(&mutex_);
    if (value.isValid()) {
        userDomain_.insert(key, value);
    } else {
        userDomain_.remove(key);
    }
}

void UserDefaults::setBool(bool value, const QString& key) {
    setObject(QVariant(value), key);
}

void UserDefaults::removeObjectForKey(const QString& key) {
    setObject(QVariant(), key);
}

void UserDefaults::resetForTesting() {
    QMutexLocker lock(&mutex_);
    argumentDomain_.clear();
    userDomain_.clear();
}
