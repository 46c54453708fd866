#include "PropertyList.h"
#include "PropertyListPrecheck.h"

#include <gtest/gtest.h>

#include <QDateTime>
#include <QFile>
#include <QTemporaryDir>
#include <QTimeZone>
#include <bit>

namespace {

TEST(PropertyListTest, ValuesSurviveARoundTripThroughXml) {
    const QVariantMap original{
        {QStringLiteral("yes"), true},
        {QStringLiteral("no"), false},
        {QStringLiteral("count"), 42},
        {QStringLiteral("negative"), -3},
        {QStringLiteral("ratio"), 0.5},
        {QStringLiteral("text"), QStringLiteral("æøå <&> \"quoted\"")},
        {QStringLiteral("empty"), QString()},
        {QStringLiteral("bytes"), QByteArray("\x00\x01\xff", 3)},
        {QStringLiteral("when"), QDateTime(QDate(2024, 2, 29), QTime(12, 30, 15), QTimeZone::utc())},
        {QStringLiteral("list"), QVariantList{1, QStringLiteral("two")}},
        {QStringLiteral("nested"), QVariantMap{{QStringLiteral("inner"), true}}},
    };
    const auto read = PropertyList::dictionaryFromData(PropertyList::xmlFromDictionary(original));
    ASSERT_TRUE(read.has_value());
    EXPECT_EQ(read->value(QStringLiteral("yes")), QVariant(true));
    EXPECT_EQ(read->value(QStringLiteral("no")), QVariant(false)) << "NO is a boolean, not an absent key";
    EXPECT_EQ(read->value(QStringLiteral("count")).toLongLong(), 42);
    EXPECT_EQ(read->value(QStringLiteral("negative")).toLongLong(), -3);
    EXPECT_DOUBLE_EQ(read->value(QStringLiteral("ratio")).toDouble(), 0.5);
    EXPECT_EQ(read->value(QStringLiteral("text")).toString(),
              original.value(QStringLiteral("text")).toString());
    EXPECT_EQ(read->value(QStringLiteral("empty")).typeId(), QMetaType::QString);
    EXPECT_EQ(read->value(QStringLiteral("bytes")).toByteArray(), QByteArray("\x00\x01\xff", 3));
    EXPECT_EQ(read->value(QStringLiteral("when")).toDateTime(),
              original.value(QStringLiteral("when")).toDateTime());
    EXPECT_EQ(read->value(QStringLiteral("list")).toList().value(1).toString(), QStringLiteral("two"));
    EXPECT_EQ(read->value(QStringLiteral("nested")).toMap().value(QStringLiteral("inner")), QVariant(true));
}

TEST(PropertyListTest, AnythingButADictionaryAtTheTopIsNoDictionary) {
    EXPECT_FALSE(PropertyList::dictionaryFromData({}).has_value());
    EXPECT_FALSE(PropertyList::dictionaryFromData("not a property list").has_value());
    EXPECT_FALSE(PropertyList::dictionaryFromData(
                     "<?xml version=\"1.0\"?><plist version=\"1.0\"><array><true/></array></plist>")
                     .has_value());
    EXPECT_FALSE(PropertyList::readDictionary(QStringLiteral("/nonexistent/file.plist")).has_value());
}

// A dictionary holding a chain of arrays, each the only element of the one before, depth levels in all.
QByteArray deepXml(int depth) {
    QByteArray xml = "<?xml version=\"1.0\"?><!-- <array> --><plist version=\"1.0\"><dict><key>k</key>";
    return xml + QByteArray("<array>").repeated(depth - 2) + "<true/>" +
           QByteArray("</array>").repeated(depth - 2) + "<key>j</key><array/></dict></plist>";
}

QByteArray bigEndian32(quint32 value) {
    const char bytes[] = {char(value >> 24), char(value >> 16), char(value >> 8), char(value)};
    return QByteArray(bytes, 4);
}

// A binary list of the given objects, references four bytes wide, the first object at the top.
QByteArray binaryList(const QList<QByteArray>& objects) {
    QByteArray bytes = "bplist00";
    QByteArray offsets;
    for (const QByteArray& object : objects) {
        offsets += bigEndian32(quint32(bytes.size()));
        bytes += object;
    }
    const quint32 tableAt = quint32(bytes.size());
    return bytes + offsets + QByteArray(6, '\0') + char(4) + char(4) + QByteArray(4, '\0') +
           bigEndian32(quint32(objects.size())) + QByteArray(8, '\0') + QByteArray(4, '\0') +
           bigEndian32(tableAt);
}

// The same chain written by hand (a writer would recurse as deep as a reader). With cycle, the innermost
// array refers back to the top one.
QByteArray deepBinary(int depth, bool cycle = false) {
    QList<QByteArray> objects;
    for (int i = 0; i < depth; ++i) {
        if (i + 1 < depth) {
            objects.append(char(0xA1) + bigEndian32(quint32(i + 1)));
        } else if (cycle) {
            objects.append(char(0xA1) + bigEndian32(0));
        } else {
            objects.append(QByteArray(1, char(0x09)));  // true
        }
    }
    return binaryList(objects);
}

TEST(PropertyListTest, ShapesThatWouldEndTheProcessAreRefusedBeforeParsing) {
    EXPECT_TRUE(PropertyList::dictionaryFromData(deepXml(PropertyListPrecheck::kLimit)).has_value());
    EXPECT_FALSE(PropertyList::dictionaryFromData(deepXml(PropertyListPrecheck::kLimit + 1)).has_value());
    EXPECT_FALSE(PropertyList::dictionaryFromData(deepXml(100000)).has_value()) << "would overflow the stack";

    const PropertyList::Node shallow = PropertyList::parse(deepBinary(PropertyListPrecheck::kLimit));
    ASSERT_TRUE(shallow);
    EXPECT_EQ(plist_get_node_type(static_cast<plist_t>(shallow.get())), PLIST_ARRAY);
    EXPECT_FALSE(PropertyList::parse(deepBinary(PropertyListPrecheck::kLimit + 1)));
    EXPECT_FALSE(PropertyList::parse(deepBinary(50000)));
    EXPECT_FALSE(PropertyList::parse(deepBinary(3, true))) << "a cycle never ends";
    EXPECT_FALSE(PropertyListPrecheck::isSafeToParse(deepBinary(3, true))) << "refused before any parser";
    // A NUL in a key or a string stops libplist on an assertion the moment it is read.
    const QByteArray dictionary = char(0xD1) + bigEndian32(1) + bigEndian32(2);
    EXPECT_TRUE(PropertyList::dictionaryFromData(binaryList({dictionary, QByteArray("\x53key", 4), "\x09"})));
    EXPECT_FALSE(PropertyList::parse(binaryList({dictionary, QByteArray("\x53k\0y", 4), "\x09"})));
    EXPECT_FALSE(PropertyList::parse(binaryList({dictionary, QByteArray("\x62\0k\0\0", 5), "\x09"})));
    EXPECT_TRUE(
        PropertyList::dictionaryFromData(binaryList({dictionary, QByteArray("\x62\0k\1\0", 5), "\x09"})))
        << "a UTF-16 key holds zero bytes without holding NUL";
    EXPECT_FALSE(
        PropertyList::parse(binaryList({dictionary, QByteArray("\x53key", 4), QByteArray("\x52v\0", 3)})));
    EXPECT_FALSE(PropertyList::dictionaryFromData(
        QByteArray("<plist><dict><key>a\0b</key><true/></dict></plist>", 47)));

    QByteArray truncated = deepBinary(10);
    truncated[8 + 5 * 5 + 1] = char(0x7f);  // a reference past the last object
    EXPECT_FALSE(PropertyList::parse(truncated));
}

// Markup the precheck must not skip further than libplist does: a quoted '>' in a document type or a
// processing instruction, followed by what would open a comment or CDATA section to the end of the file.
TEST(PropertyListTest, DeclarationsHideNoNesting) {
    const QByteArray body = "<plist version=\"1.0\"><dict><key>k</key>";
    const auto deep = [&](const QByteArray& prolog, int depth) {
        return prolog + body + QByteArray("<array>").repeated(depth - 2) + "<true/>" +
               QByteArray("</array>").repeated(depth - 2) + "</dict></plist>";
    };
    const QByteArray apple =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" "
        "\"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n";
    EXPECT_TRUE(PropertyList::dictionaryFromData(deep(apple, PropertyListPrecheck::kLimit)));
    EXPECT_FALSE(PropertyListPrecheck::isSafeToParse(deep(apple, PropertyListPrecheck::kLimit + 1)));
    for (const QByteArray& prolog :
         {QByteArray("<!DOCTYPE plist SYSTEM \"a> <!--\">"), QByteArray("<?xml a=\">\" <![CDATA[ ?>")}) {
        EXPECT_TRUE(PropertyList::dictionaryFromData(deep(prolog, PropertyListPrecheck::kLimit)))
            << prolog.constData();
        EXPECT_FALSE(PropertyListPrecheck::isSafeToParse(deep(prolog, PropertyListPrecheck::kLimit + 1)))
            << prolog.constData();
    }
    // No property list has an internal subset, and libplist ends one at the first "]>" whatever quotes
    // or comments say, so it is refused rather than measured.
    for (const QByteArray& prolog : {QByteArray("<!DOCTYPE plist [ <!ENTITY x \"> <![CDATA[\"> ]>"),
                                     QByteArray("<!DOCTYPE plist [ ]>")}) {
        EXPECT_FALSE(PropertyList::dictionaryFromData(deep(prolog, 3))) << prolog.constData();
        EXPECT_FALSE(PropertyList::dictionaryFromData(deep(prolog, 60000))) << "would overflow the stack";
    }
    EXPECT_FALSE(PropertyList::dictionaryFromData("<!ELEMENT plist ANY>" + body + "</dict></plist>"));
}

QStringList warnings;
void keepWarning(QtMsgType type, const QMessageLogContext&, const QString& text) {
    if (type == QtWarningMsg) {
        warnings.append(text);
    }
}

TEST(PropertyListTest, AFileThatCannotBeReadIsSaidOnceAndCountsAsAbsent) {
    const QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("com.halvex.Orlin.plist"));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("<!DOCTYPE plist [ ]><plist><dict/></plist>");
    file.close();
    warnings.clear();
    const QtMessageHandler previous = qInstallMessageHandler(keepWarning);
    const bool read = PropertyList::readDictionary(path).has_value() || PropertyList::readDictionary(path);
    qInstallMessageHandler(previous);
    EXPECT_FALSE(read);
    ASSERT_EQ(warnings.size(), 1) << "once per file and content";
    EXPECT_TRUE(warnings[0].contains(path));
    EXPECT_TRUE(warnings[0].contains(QStringLiteral("nests too deep"))) << warnings[0].toStdString();
}

// A top-level array of count references, each to the object numbered to.
QByteArray arrayOf(quint32 count, quint32 to) {
    QByteArray array(1, char(0xAF));
    array += char(0x12) + bigEndian32(count);
    for (quint32 i = 0; i < count; ++i) {
        array += bigEndian32(to);
    }
    return array;
}

// Shared objects are parsed once per reference: a list a few kilobytes long can stand for billions.
TEST(PropertyListTest, SharedObjectsCountOncePerReference) {
    // 1 + outer * (1 + 999) objects.
    const auto fanOut = [](quint32 outer) {
        return binaryList({arrayOf(outer, 1), arrayOf(999, 2), QByteArray(1, char(0x09))});
    };
    EXPECT_TRUE(PropertyListPrecheck::isSafeToParse(fanOut(999)));
    EXPECT_FALSE(PropertyListPrecheck::isSafeToParse(fanOut(1000)));

    // Sixteen arrays, each holding the next a hundred times: under 2 KB, 10^32 objects expanded.
    QList<QByteArray> bomb;
    for (quint32 i = 0; i < 16; ++i) {
        bomb.append(arrayOf(100, i + 1));
    }
    bomb.append(QByteArray("\x51x", 2));
    EXPECT_FALSE(PropertyList::parse(binaryList(bomb)));

    const QByteArray mebibyte = QByteArray("\x5F\x12", 2) + bigEndian32(1 << 20) + QByteArray(1 << 20, 'x');
    EXPECT_TRUE(PropertyListPrecheck::isSafeToParse(binaryList({arrayOf(60, 1), mebibyte})));
    EXPECT_FALSE(PropertyListPrecheck::isSafeToParse(binaryList({arrayOf(64, 1), mebibyte})));
}

// A binary list holding one dictionary whose key "when" is a date, given in seconds from 2001 as the
// format stores it.
QByteArray binaryDate(double secondsFrom2001) {
    const auto bits = std::bit_cast<quint64>(secondsFrom2001);
    return binaryList({char(0xD1) + bigEndian32(1) + bigEndian32(2), QByteArray("\x54when", 5),
                       char(0x33) + bigEndian32(quint32(bits >> 32)) + bigEndian32(quint32(bits))});
}

QDateTime utc(int year, int month, int day, int hour, int minute, int second, int msec = 0) {
    return QDateTime(QDate(year, month, day), QTime(hour, minute, second, msec), QTimeZone::utc());
}

// As text, so that a failure shows the date.
std::string iso(const QVariant& date) {
    return date.toDateTime().toUTC().toString(Qt::ISODateWithMs).toStdString();
}

std::string readDate(const QByteArray& list) {
    return iso(PropertyList::dictionaryFromData(list).value_or(QVariantMap()).value(QStringLiteral("when")));
}

TEST(PropertyListTest, DatesOnEitherSideOf2001And1970KeepTheirSecond) {
#ifdef ORLIN_PLIST_UNIX_DATE
    // The library hands out whole seconds only.
    EXPECT_EQ(readDate(binaryDate(5.999)), "2001-01-01T00:00:05.000Z");
    EXPECT_EQ(readDate(binaryDate(-978307201.0)), "1969-12-31T23:59:59.000Z");
#else
    EXPECT_EQ(readDate(binaryDate(5.999)), "2001-01-01T00:00:05.999Z") << "not a microsecond short";
    EXPECT_EQ(readDate(binaryDate(-1.5)), "2000-12-31T23:59:58.500Z") << "the fraction counts back";
    EXPECT_EQ(readDate(binaryDate(-978307201.25)), "1969-12-31T23:59:58.750Z");
#endif

    const auto read = PropertyList::dictionaryFromData(PropertyList::xmlFromDictionary(
        {{QStringLiteral("beforeReference"), utc(2000, 12, 31, 23, 59, 58, 750)},
         {QStringLiteral("beforeEpoch"), utc(1969, 7, 20, 20, 17, 40)},
         {QStringLiteral("farPast"), utc(1901, 1, 1, 0, 0, 0)},
         {QStringLiteral("invalid"), QDateTime()}}));
    ASSERT_TRUE(read.has_value());
    EXPECT_EQ(iso(read->value(QStringLiteral("beforeReference"))), "2000-12-31T23:59:58.000Z")
        << "an XML list keeps the second the date began in";
    EXPECT_EQ(iso(read->value(QStringLiteral("beforeEpoch"))), "1969-07-20T20:17:40.000Z");
    EXPECT_FALSE(read->contains(QStringLiteral("invalid")));

    // At the earliest second the library's older calls hold, a date read can still be saved.
    const auto earliest = PropertyList::dictionaryFromData(binaryDate(-2147483648.5));
    ASSERT_TRUE(earliest && earliest->contains(QStringLiteral("when")));
    EXPECT_TRUE(PropertyList::dictionaryFromData(PropertyList::xmlFromDictionary(*earliest))
                    .value_or(QVariantMap())
                    .contains(QStringLiteral("when")));
#ifdef ORLIN_PLIST_UNIX_DATE
    EXPECT_EQ(iso(read->value(QStringLiteral("farPast"))), "1901-01-01T00:00:00.000Z");
#else
    EXPECT_FALSE(read->contains(QStringLiteral("farPast"))) << "beyond what the library holds, not wrapped";
#endif
}

}  // namespace
