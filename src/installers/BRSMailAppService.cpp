#include "BRSMailAppService.h"

BRSMailAppService::~BRSMailAppService() = default;

QString BRSMailAppService::portableText(const QString& text) {
    static constexpr char16_t kHex[] = u"0123456789ABCDEF";
    QString result;
    result.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t unit = text.at(i).unicode();
        if (QChar::isHighSurrogate(unit) && i + 1 < text.size() && text.at(i + 1).isLowSurrogate()) {
            result.append(text.at(i));
            result.append(text.at(++i));
            continue;
        }
        const bool forbidden = (unit < 0x20 && unit != 0x09 && unit != 0x0A && unit != 0x0D) ||
                               QChar::isSurrogate(unit) || unit == 0xFFFE || unit == 0xFFFF;
        if (!forbidden) {
            result.append(text.at(i));
            continue;
        }
        result.append(QChar(QChar::ReplacementCharacter));
        for (int shift = 12; shift >= 0; shift -= 4) {
            result.append(QChar(kHex[(unit >> shift) & 0xF]));
        }
    }
    return result;
}
