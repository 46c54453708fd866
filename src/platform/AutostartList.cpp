#include "AutostartList.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <algorithm>

#include "AppInfo.h"
#include "AtomicFile.h"
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

// Either switch makes the session skip the entry, so it starts nothing.
bool switchesOff(const QString& key, const QString& value) {
    return (key == QLatin1String("Hidden") && value == QLatin1String("true")) ||
           (key == QLatin1String("X-GNOME-Autostart-enabled") && value == QLatin1String("false"));
}

// Calls `visit` with the key and unescaped value of each line of the main group, and its index in `lines`.
template <typename Visit>
void forEachMainGroupKey(const QStringList& lines, Visit visit) {
    bool inMainGroup = false;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const QString line = lines[i].trimmed();
        if (line.startsWith(QLatin1Char('['))) {
            inMainGroup = line == kDesktopGroup;
            continue;
        }
        const qsizetype equals = line.indexOf(QLatin1Char('='));
        if (!inMainGroup || equals <= 0) {
            continue;
        }
        visit(i, line.left(equals).trimmed(), unescapeKeyFileValue(line.mid(equals + 1).trimmed()));
    }
}

std::optional<QStringList> readLines(const QString& filePath) {
    QFile file(filePath);
    if (!file.open(QIODevice::ReadOnly)) {
        return std::nullopt;
    }
    return QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'));
}

AutostartList::Entry desktopEntry(const QString& filePath) {
    const std::optional<QStringList> lines = readLines(filePath);
    if (!lines) {
        return {filePath, std::nullopt, std::nullopt};
    }
    bool switchedOff = false;
    QString exec;
    forEachMainGroupKey(*lines, [&](qsizetype, const QString& key, const QString& value) {
        switchedOff = switchedOff || switchesOff(key, value);
        if (key == QLatin1String("Exec")) {
            exec = value;
        }
    });
    const std::optional<QString> target = resolveProgram(programOfExec(exec));
    return switchedOff ? AutostartList::Entry{filePath, std::nullopt, target}
                       : AutostartList::Entry{filePath, target, std::nullopt};
}

AutostartList::Entry launchAgentEntry(const QString& filePath) {
    const std::optional<QVariantMap> agent = PropertyList::readDictionary(filePath);
    if (!agent) {
        return {filePath, std::nullopt, std::nullopt};
    }
    QString program = agent->value(QStringLiteral("Program")).toString();
    if (program.isEmpty()) {
        program = agent->value(QStringLiteral("ProgramArguments")).toList().value(0).toString();
    }
    std::optional<QString> target = resolveProgram(program);
    if (target) {
        target = AutostartList::resolvedApplicationPath(*target);
    }
    return agent->value(QStringLiteral("Disabled")).toBool()
               ? AutostartList::Entry{filePath, std::nullopt, target}
               : AutostartList::Entry{filePath, target, std::nullopt};
}

bool writeFile(const QString& filePath, const QByteArray& contents) {
    return AtomicFile::write(filePath, contents).ok();
}

}  // namespace

AutostartList::AutostartList(QString folder, Format format) : folder_(std::move(folder)), format_(format) {}

AutostartList AutostartList::forUser([[maybe_unused]] const QString& home,
                                     [[maybe_unused]] const QString& configFolder) {
#ifdef Q_OS_MACOS
    return AutostartList(home + QStringLiteral("/Library/LaunchAgents"), Format::LaunchAgents);
#else
    return AutostartList(QDir::cleanPath(configFolder) + QStringLiteral("/autostart"),
                         Format::DesktopEntries);
#endif
}

QString AutostartList::launchAgentLabel() {
    return AppInfo::bundleIdentifier() + QStringLiteral(".login");
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
        result.append(read(folder_ + QLatin1Char('/') + name));
    }
    return result;
}

AutostartList::Entry AutostartList::read(const QString& filePath) const {
    return format_ == Format::DesktopEntries ? desktopEntry(filePath) : launchAgentEntry(filePath);
}

std::optional<AutostartList::Entry> AutostartList::append(const QString& applicationPath) {
    if (!QDir().mkpath(folder_)) {
        return std::nullopt;
    }
    QStringList names = QDir(folder_).entryList({QLatin1Char('*') + suffix()}, QDir::Files | QDir::Hidden);
    std::sort(names.begin(), names.end());
    // The list's order is the file names' order, so the new name must sort after the last one.
    QString stem = format_ == Format::DesktopEntries ? AppInfo::bundleIdentifier() : launchAgentLabel();
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
        contents = PropertyList::xmlFromDictionary({
            // Whatever the file is called, and apart from the administrator's agent for every user:
            // launchd loads only one job per label.
            {QStringLiteral("Label"), launchAgentLabel()},
            {QStringLiteral("ProgramArguments"), QStringList{executable}},
            {QStringLiteral("RunAtLoad"), true},
            // A menu-bar app: launchd must give it an app's resources rather than a background job's, and
            // start it only in a graphical login session (not for an ssh login), where there is a menu bar.
            {QStringLiteral("ProcessType"), QStringLiteral("Interactive")},
            {QStringLiteral("LimitLoadToSessionType"), QStringLiteral("Aqua")},
            // From macOS 13 on, Login Items shows the item under Orlin's name rather than as an unknown
            // developer's.
            {QStringLiteral("AssociatedBundleIdentifiers"), QStringList{AppInfo::bundleIdentifier()}},
        });
    }
    if (!writeFile(filePath, contents)) {
        return std::nullopt;
    }
    return read(filePath);
}

bool AutostartList::remove(const Entry& entry) {
    return QFile::remove(entry.filePath);
}

std::optional<AutostartList::Entry> AutostartList::switchOn(const Entry& entry) {
    if (format_ == Format::LaunchAgents) {
        std::optional<QVariantMap> agent = PropertyList::readDictionary(entry.filePath);
        if (!agent) {
            return std::nullopt;
        }
        agent->remove(QStringLiteral("Disabled"));
        if (!PropertyList::writeDictionary(entry.filePath, *agent)) {
            return std::nullopt;
        }
        return read(entry.filePath);
    }
    std::optional<QStringList> lines = readLines(entry.filePath);
    if (!lines) {
        return std::nullopt;
    }
    // Only the switches are rewritten, in place, so whatever else the user put in the file stays.
    forEachMainGroupKey(*lines, [&](qsizetype index, const QString& key, const QString& value) {
        if (switchesOff(key, value)) {
            (*lines)[index] =
                key + (key == QLatin1String("Hidden") ? QStringLiteral("=false") : QStringLiteral("=true"));
        }
    });
    if (!writeFile(entry.filePath, lines->join(QLatin1Char('\n')).toUtf8())) {
        return std::nullopt;
    }
    return read(entry.filePath);
}
