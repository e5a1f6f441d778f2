#include "Registration.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSaveFile>
#include <QStandardPaths>

#include <vector>

namespace tessary {
namespace {

const char* const kDesktopEntry = "applications/tessary.desktop";
const char* const kMimePackage = "mime/packages/tessary.xml";

QByteArray ReadResource(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Quotes a path for the Exec key of a desktop entry: the key's own quoting
// (backslash before ", `, $ and \ inside double quotes, %% for %), then the
// string escape of every backslash that gives.
QByteArray ExecQuoted(const QString& path)
{
    QString quoted = path;
    quoted.replace(QLatin1Char('\\'), QStringLiteral("\\\\\\\\"));
    quoted.replace(QLatin1Char('"'), QStringLiteral("\\\\\""));
    quoted.replace(QLatin1Char('`'), QStringLiteral("\\\\`"));
    quoted.replace(QLatin1Char('$'), QStringLiteral("\\\\$"));
    quoted.replace(QLatin1Char('%'), QStringLiteral("%%"));
    return (QLatin1Char('"') + quoted + QLatin1Char('"')).toUtf8();
}

// The program named by a desktop entry's Exec key, with both quotings of
// ExecQuoted undone; empty when the entry has no Exec key.
QString ExecProgram(const QByteArray& entry)
{
    for (const QByteArray& line : entry.split('\n')) {
        if (!line.startsWith("Exec="))
            continue;
        const QString value = QString::fromUtf8(line.mid(5)).trimmed();
        QString unescaped;
        for (qsizetype i = 0; i < value.size(); ++i) {
            QChar c = value.at(i);
            if (c == QLatin1Char('\\') && i + 1 < value.size()) {
                c = value.at(++i);
                if (c == QLatin1Char('s'))
                    c = QLatin1Char(' ');
                else if (c == QLatin1Char('t'))
                    c = QLatin1Char('\t');
                else if (c == QLatin1Char('n'))
                    c = QLatin1Char('\n');
                else if (c == QLatin1Char('r'))
                    c = QLatin1Char('\r');
            }
            unescaped += c;
        }
        QString program;
        if (unescaped.startsWith(QLatin1Char('"'))) {
            for (qsizetype i = 1; i < unescaped.size(); ++i) {
                const QChar c = unescaped.at(i);
                if (c == QLatin1Char('"'))
                    break;
                if (c == QLatin1Char('\\') && i + 1 < unescaped.size())
                    program += unescaped.at(++i);
                else
                    program += c;
            }
        } else {
            program = unescaped.section(QLatin1Char(' '), 0, 0);
        }
        program.replace(QStringLiteral("%%"), QStringLiteral("%"));
        return program;
    }
    return {};
}

// The installed desktop entry (data/tessary.desktop, which runs "tessary"
// from the search path) pointed at `exePath`.
QByteArray DesktopEntryFor(const QString& exePath)
{
    const QByteArray installed = ReadResource(QStringLiteral(":/desktop/tessary.desktop"));
    QByteArray entry;
    for (const QByteArray& line : installed.split('\n')) {
        if (line.startsWith("Exec=tessary"))
            entry += "Exec=" + ExecQuoted(exePath) + line.mid(12);
        else
            entry += line;
        entry += '\n';
    }
    entry.chop(1);
    return entry;
}

// Writes `content` to `path` unless it already holds exactly that. Returns
// 1 when written, 0 when nothing was to do, -1 on failure.
int WriteIfDifferent(const QString& path, const QByteArray& content)
{
    QFile existing(path);
    if (existing.open(QIODevice::ReadOnly) && existing.readAll() == content)
        return 0;
    existing.close();
    if (!QDir().mkpath(QFileInfo(path).absolutePath()))
        return -1;
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(content) != content.size() || !file.commit())
        return -1;
    return 1;
}

} // namespace

bool RegisterFileType(const QString& dataHome, const QString& exePath)
{
    if (dataHome.isEmpty())
        return false;
    const QDir home(dataHome);
    struct Piece {
        QString path;
        QByteArray content;
    };
    std::vector<Piece> pieces = {
        { home.filePath(QString::fromLatin1(kMimePackage)),
            ReadResource(QStringLiteral(":/desktop/tessary.xml")) },
        { home.filePath(QString::fromLatin1(kDesktopEntry)), DesktopEntryFor(exePath) },
        { home.filePath(QStringLiteral("icons/hicolor/scalable/apps/tessary.svg")),
            ReadResource(QStringLiteral(":/icons/tessary.svg")) },
        { home.filePath(QStringLiteral("icons/hicolor/scalable/mimetypes/application-x-tessary-library.svg")),
            ReadResource(QStringLiteral(":/icons/library.svg")) },
    };
    // Small sizes as drawn for them: the scalable drawing loses its lines there.
    for (int size : { 16, 32, 48 }) {
        const QString dir = QStringLiteral("icons/hicolor/%1x%1/").arg(size);
        pieces.push_back({ home.filePath(dir + QStringLiteral("apps/tessary.png")),
            ReadResource(QStringLiteral(":/icons/tessary-%1.png").arg(size)) });
        pieces.push_back({ home.filePath(dir + QStringLiteral("mimetypes/application-x-tessary-library.png")),
            ReadResource(QStringLiteral(":/icons/library-%1.png").arg(size)) });
    }
    bool written = false;
    for (const Piece& piece : pieces) {
        if (piece.content.isEmpty())
            continue;
        if (WriteIfDifferent(piece.path, piece.content) > 0)
            written = true;
    }
    return written;
}

bool HasInstalledRegistration(const QString& exeDir)
{
    const QDir share(QDir(exeDir).filePath(QStringLiteral("../share")));
    return QFileInfo(share.filePath(QString::fromLatin1(kDesktopEntry))).isFile()
        && QFileInfo(share.filePath(QString::fromLatin1(kMimePackage))).isFile();
}

bool RemoveStaleDesktopEntry(const QString& dataHome)
{
    if (dataHome.isEmpty())
        return false;
    const QString path = QDir(dataHome).filePath(QString::fromLatin1(kDesktopEntry));
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const QString program = ExecProgram(file.readAll());
    file.close();
    // A bare name runs from the search path: nothing to tell about it.
    if (program.isEmpty() || !QDir::isAbsolutePath(program) || QFileInfo::exists(program))
        return false;
    return QFile::remove(path);
}

bool UpdateUserRegistration(const QString& dataHome, const QString& exePath)
{
    if (HasInstalledRegistration(QFileInfo(exePath).absolutePath()))
        return RemoveStaleDesktopEntry(dataHome);
    return RegisterFileType(dataHome, exePath);
}

void RefreshDesktopDatabases(const QString& dataHome)
{
    const QDir home(dataHome);
    const QString mimeTool = QStandardPaths::findExecutable(QStringLiteral("update-mime-database"));
    if (!mimeTool.isEmpty())
        QProcess::startDetached(mimeTool, { home.filePath(QStringLiteral("mime")) });
    const QString desktopTool = QStandardPaths::findExecutable(QStringLiteral("update-desktop-database"));
    if (!desktopTool.isEmpty())
        QProcess::startDetached(desktopTool, { home.filePath(QStringLiteral("applications")) });
}

} // namespace tessary
