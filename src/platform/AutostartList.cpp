#include "AutostartList.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>
#include <algorithm>

#include "AppInfo.h"
#include "PropertyList.h"

namespace {

const QString kDesktopGroup = QStringLiteral("[Desktop Entry]");

// Undoes the escapes of a key file's string values.
QString unescapeKeyFileValue(const QString& value) {
    QString result;
    for (qsizetype i = 0; i < value.size(); ++i) {
        const QChar c = value.at(i);
        if (c != QLatin1Char('\\') || i + 1 == value.size()) {
            result.append(c);
            continue;
        }
        const QChar next = value.at(++i);
        switch (next.unicode()) {
            case 's':
                result.append(QLatin1Char(' '));
                break;
            case 'n':
                result.append(QLatin1Char('\n'));
                break;
            case 't':
                result.append(QLatin1Char('\t'));
                break;
            case 'r':
                result.append(QLatin1Char('\r'));
                break;
            default:
                result.append(next);
        }
    }
    return result;
}

// The program of an Exec line: its first argument, with the line's quoting rules applied and a doubled
// percent sign (the escape of a literal one among the field codes) made single.
QString programOfExec(const QString& exec) {
    const QString line = exec.trimmed();
    QString program;
    if (line.startsWith(QLatin1Char('"'))) {
        for (qsizetype i = 1; i < line.size(); ++i) {
            const QChar c = line.at(i);
            if (c == QLatin1Char('"')) {
                return program.replace(QStringLiteral("%%"), QStringLiteral("%"));
            }
            if (c == QLatin1Char('\\') && i + 1 < line.size()) {
                program.append(line.at(++i));
            } else {
                program.append(c);
            }
        }
        // An unterminated quote makes the whole line invalid.
        return {};
    }
    return line.section(QLatin1Char(' '), 0, 0, QString::SectionSkipEmpty)
        .replace(QStringLiteral("%%"), QStringLiteral("%"));
}

QString quotedForExec(const QString& path) {
    QString quoted = QStringLiteral("\"");
    for (const QChar c : path) {
        if (c == QLatin1Char('"') || c == QLatin1Char('`') || c == QLatin1Char('$') ||
            c == QLatin1Char('\\')) {
            quoted.append(QLatin1Char('\\'));
        }
        quoted.append(c);
    }
    quoted.append(QLatin1Char('"'));
    // Then the key file's own escaping, and the field-code escaping of a literal percent sign.
    return quoted.replace(QLatin1Char('\\'), QStringLiteral("\\\\"))
        .replace(QLatin1Char('%'), QStringLiteral("%%"));
}

std::optional<QString> resolveProgram(const QString& program) {
    if (program.isEmpty()) {
        return std::nullopt;
    }
    const QString path =
        program.contains(QLatin1Char('/')) ? program : QStandardPaths::findExecutable(program);
    if (path.isEmpty() || !QDir::isAbsolutePath(path)) {
        return std::nullopt;
    }
    const QString canonical = QFileInfo(path).canonicalFilePath();
    if (canonical.isEmpty()) {
        return std::nullopt;
    }
    return canonical;
}

std::optional<QString> desktopEntryTarget(const QString& filePath) {
    QFile file(filePath);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        return std::nullopt;
    }
    bool inMainGroup = false;
    QString exec;
    while (!file.atEnd()) {
        const QString line = QString::fromUtf8(file.readLine()).trimmed();
        if (line.startsWith(QLatin1Char('['))) {
            inMainGroup = line == kDesktopGroup;
            continue;
        }
        if (!inMainGroup) {
            continue;
        }
        const qsizetype equals = line.indexOf(QLatin1Char('='));
        if (equals <= 0) {
            continue;
        }
        const QString key = line.left(equals).trimmed();
        const QString value = unescapeKeyFileValue(line.mid(equals + 1).trimmed());
        // Either switch makes the session skip the entry, so it starts nothing.
        if ((key == QLatin1String("Hidden") && value == QLatin1String("true")) ||
            (key == QLatin1String("X-GNOME-Autostart-enabled") && value == QLatin1String("false"))) {
            return std::nullopt;
        }
        if (key == QLatin1String("Exec")) {
            exec = value;
        }
    }
    return resolveProgram(programOfExec(exec));
}

std::optional<QString> launchAgentTarget(const QString& filePath) {
    const std::optional<QVariantMap> agent = PropertyList::readDictionary(filePath);
    if (!agent || agent->value(QStringLiteral("Disabled")).toBool()) {
        return std::nullopt;
    }
    QString program = agent->value(QStringLiteral("Program")).toString();
    if (program.isEmpty()) {
        program = agent->value(QStringLiteral("ProgramArguments")).toList().value(0).toString();
    }
    const std::optional<QString> executable = resolveProgram(program);
    if (!executable) {
        return std::nullopt;
    }
    return AutostartList::resolvedApplicationPath(*executable);
}

}  // namespace

AutostartList::AutostartList(QString folder, Format format) : folder_(std::move(folder)), format_(format) {}

AutostartList AutostartList::forCurrentUser() {
#ifdef Q_OS_MACOS
    return AutostartList(QDir::homePath() + QStringLiteral("/Library/LaunchAgents"), Format::LaunchAgents);
#else
    QString configHome = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (configHome.isEmpty() || !QDir::isAbsolutePath(configHome)) {
        configHome = QDir::homePath() + QStringLiteral("/.config");
    }
    return AutostartList(QDir::cleanPath(configHome) + QStringLiteral("/autostart"), Format::DesktopEntries);
#endif
}

QString AutostartList::resolvedApplicationPath(const QString& path) {
    QString resolved = QFileInfo(path).canonicalFilePath();
    if (resolved.isEmpty()) {
        resolved = QDir::cleanPath(QFileInfo(path).absoluteFilePath());
    }
    // An executable inside a bundle (…/Orlin.app/Contents/MacOS/Orlin) stands for the bundle.
    const qsizetype marker = resolved.lastIndexOf(QLatin1String(".app/Contents/MacOS/"));
    if (marker > 0) {
        return resolved.left(marker + 4);
    }
    return resolved;
}

QString AutostartList::suffix() const {
    return format_ == Format::DesktopEntries ? QStringLiteral(".desktop") : QStringLiteral(".plist");
}

QList<AutostartList::Entry> AutostartList::entries() const {
    QStringList names = QDir(folder_).entryList({QLatin1Char('*') + suffix()}, QDir::Files | QDir::Hidden);
    std::sort(names.begin(), names.end());
    QList<Entry> result;
    for (const QString& name : std::as_const(names)) {
        const QString filePath = folder_ + QLatin1Char('/') + name;
        result.append({filePath, format_ == Format::DesktopEntries ? desktopEntryTarget(filePath)
                                                                   : launchAgentTarget(filePath)});
    }
    return result;
}

std::optional<AutostartList::Entry> AutostartList::append(const QString& applicationPath) {
    if (!QDir().mkpath(folder_)) {
        return std::nullopt;
    }
    QStringList names = QDir(folder_).entryList({QLatin1Char('*') + suffix()}, QDir::Files | QDir::Hidden);
    std::sort(names.begin(), names.end());
    // The list's order is the file names' order, so the new name must sort after the last one.
    QString stem = AppInfo::bundleIdentifier();
    if (!names.isEmpty() && !(stem + suffix() > names.last())) {
        stem = names.last().chopped(suffix().size()) + QLatin1Char('~') + stem;
    }
    const QString filePath = folder_ + QLatin1Char('/') + stem + suffix();

    QByteArray contents;
    if (format_ == Format::DesktopEntries) {
        contents = QStringLiteral(
                       "[Desktop Entry]\n"
                       "Type=Application\n"
                       "Name=Orlin\n"
                       "Exec=%1\n"
                       "X-GNOME-Autostart-enabled=true\n"
                       // Started before the panel, the agent would find no tray to put its icon in.
                       "X-GNOME-Autostart-Delay=5\n"
                       "X-LXQt-Need-Tray=true\n")
                       .arg(quotedForExec(applicationPath))
                       .toUtf8();
    } else {
        QString executable = applicationPath;
        if (applicationPath.endsWith(QLatin1String(".app"))) {
            const QString running = QCoreApplication::applicationFilePath();
            executable = running.startsWith(applicationPath + QLatin1Char('/'))
                             ? running
                             : applicationPath + QStringLiteral("/Contents/MacOS/") +
                                   QFileInfo(applicationPath).completeBaseName();
        }
        contents =
            PropertyList::xmlFromDictionary({{QStringLiteral("Label"), stem},
                                             {QStringLiteral("ProgramArguments"), QStringList{executable}},
                                             {QStringLiteral("RunAtLoad"), true}});
    }
    QSaveFile file(filePath);
    if (!file.open(QIODevice::WriteOnly) || file.write(contents) != contents.size() || !file.commit()) {
        return std::nullopt;
    }
    return Entry{filePath, format_ == Format::DesktopEntries ? desktopEntryTarget(filePath)
                                                             : launchAgentTarget(filePath)};
}

bool AutostartList::remove(const Entry& entry) {
    return QFile::remove(entry.filePath);
}
