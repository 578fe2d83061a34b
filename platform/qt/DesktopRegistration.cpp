#include "platform/qt/DesktopRegistration.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QList>
#include <QProcess>
#include <QSaveFile>
#include <QStandardPaths>

#include <algorithm>
#include <initializer_list>
#include <optional>

namespace {

// A bundled resource and where its copy goes under the data folder.
struct SharedFile {
    const char* resource;
    const char* target;
};

constexpr SharedFile DESKTOP_ENTRY{":/ostrevane/desktop/ostrevane.desktop",
                                   "applications/ostrevane.desktop"};
constexpr SharedFile MIME_PACKAGE{":/ostrevane/desktop/ostrevane-mime.xml",
                                  "mime/packages/ostrevane.xml"};
constexpr SharedFile APP_ICON{":/ostrevane/app.svg", "icons/hicolor/scalable/apps/ostrevane.svg"};
constexpr SharedFile DOCUMENT_ICON{":/ostrevane/document.svg",
                                   "icons/hicolor/scalable/mimetypes/application-x-ostrevane.svg"};

enum class Outcome { Current, Written, Failed };

std::optional<QByteArray> ReadAll(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    return file.readAll();
}

// Characters that make a command-line argument need double quotes.
bool NeedsQuotes(const QString& argument) {
    static const QString reserved = QStringLiteral(" \t\n\"'\\><~|&;$*?#()`");
    return std::any_of(argument.begin(), argument.end(),
                       [](QChar c) { return reserved.contains(c); });
}

QString DoubleQuoted(const QString& argument) {
    QString quoted = QStringLiteral("\"");
    for (const QChar c : argument) {
        if (c == u'"' || c == u'`' || c == u'$' || c == u'\\')
            quoted += u'\\';
        quoted += c;
    }
    return quoted + u'"';
}

// Escapes a key file string value; desktops undo this before they split the
// command line, so a backslash meant for the quoting is doubled here.
QString EscapedValue(const QString& value) {
    QString escaped;
    for (const QChar c : value) {
        switch (c.unicode()) {
        case u'\\':
            escaped += QStringLiteral("\\\\");
            break;
        case u'\n':
            escaped += QStringLiteral("\\n");
            break;
        case u'\t':
            escaped += QStringLiteral("\\t");
            break;
        case u'\r':
            escaped += QStringLiteral("\\r");
            break;
        default:
            escaped += c;
        }
    }
    return escaped;
}

// The bundled launcher entry with its Exec line pointing at executablePath.
std::optional<QByteArray> DesktopEntry(const QString& executablePath) {
    const std::optional<QByteArray> bundled = ReadAll(DESKTOP_ENTRY.resource);
    if (!bundled)
        return std::nullopt;
    QList<QByteArray> lines = bundled->split('\n');
    const auto exec = std::find_if(lines.begin(), lines.end(),
                                   [](const QByteArray& line) { return line.startsWith("Exec="); });
    if (exec != lines.end())
        *exec = DesktopExecLine(executablePath).toUtf8();
    return lines.join('\n');
}

bool WriteFile(const QString& path, const QByteArray& content) {
    if (!QDir().mkpath(QFileInfo(path).absolutePath()))
        return false;
    QSaveFile file(path);
    // Leaving without commit() discards the temporary file.
    return file.open(QIODevice::WriteOnly) && file.write(content) == content.size() &&
           file.commit();
}

Outcome Install(const QString& dataDir, const char* target,
                const std::optional<QByteArray>& content) {
    if (!content)
        return Outcome::Failed;
    const QString path = dataDir + u'/' + QLatin1String(target);
    if (ReadAll(path) == content)
        return Outcome::Current;
    return WriteFile(path, *content) ? Outcome::Written : Outcome::Failed;
}

Outcome Install(const QString& dataDir, const SharedFile& file) {
    return Install(dataDir, file.target, ReadAll(file.resource));
}

// Starts a cache tool on folder in the background, if it is installed, with
// its output thrown away.
void RunDetached(const QString& program, const QString& folder) {
    const QString found = QStandardPaths::findExecutable(program);
    if (found.isEmpty())
        return;
    QProcess process;
    process.setProgram(found);
    process.setArguments({folder});
    process.setStandardInputFile(QProcess::nullDevice());
    process.setStandardOutputFile(QProcess::nullDevice());
    process.setStandardErrorFile(QProcess::nullDevice());
    process.startDetached();
}

bool Register(const QString& executablePath) {
    const QString dataDir = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    if (dataDir.isEmpty())
        return false;
    const Outcome appIcon = Install(dataDir, APP_ICON);
    const Outcome documentIcon = Install(dataDir, DOCUMENT_ICON);
    const Outcome mimePackage = Install(dataDir, MIME_PACKAGE);
    const Outcome desktopEntry =
        Install(dataDir, DESKTOP_ENTRY.target, DesktopEntry(executablePath));
    if (mimePackage == Outcome::Written)
        RunDetached(QStringLiteral("update-mime-database"), dataDir + QStringLiteral("/mime"));
    if (desktopEntry == Outcome::Written)
        RunDetached(QStringLiteral("update-desktop-database"),
                    dataDir + QStringLiteral("/applications"));
    const auto all = {appIcon, documentIcon, mimePackage, desktopEntry};
    return std::none_of(all.begin(), all.end(),
                        [](Outcome outcome) { return outcome == Outcome::Failed; });
}

} // namespace

QString DesktopExecLine(const QString& executablePath) {
    QString program = executablePath.isEmpty() ? QStringLiteral("ostrevane") : executablePath;
    // A lone % would be taken for a field code such as the %f that follows.
    program.replace(u'%', QStringLiteral("%%"));
    if (NeedsQuotes(program))
        program = DoubleQuoted(program);
    return QStringLiteral("Exec=") + EscapedValue(program) + QStringLiteral(" %f");
}

bool RegisterShellFileTypes(const QString& executablePath) {
    try {
        return Register(executablePath);
    } catch (...) {
        return false;
    }
}
