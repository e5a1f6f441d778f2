#include "Registration.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSaveFile>
#include <QStandardPaths>

namespace tessary {
namespace {

QByteArray MimePackage()
{
    return QByteArrayLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                             "<mime-info xmlns=\"http://www.freedesktop.org/standards/shared-mime-info\">\n"
                             "  <mime-type type=\"application/x-tessary-library\">\n"
                             "    <comment>Tessary Document</comment>\n"
                             "    <comment xml:lang=\"zh_CN\">文档库 文件</comment>\n"
                             "    <icon name=\"application-x-tessary-library\"/>\n"
                             "    <glob pattern=\"*.dli\"/>\n"
                             "  </mime-type>\n"
                             "</mime-info>\n");
}

// Quotes a path for the Exec key of a desktop entry.
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

QByteArray DesktopEntry(const QString& exePath)
{
    return QByteArrayLiteral("[Desktop Entry]\n"
                             "Type=Application\n"
                             "Name=Tessary\n"
                             "Name[zh_CN]=橡檐\n"
                             "Comment=Catalogue of documents on disks and CDs\n"
                             "Exec=")
        + ExecQuoted(exePath)
        + QByteArrayLiteral(" %f\n"
                            "Icon=tessary\n"
                            "MimeType=application/x-tessary-library;\n"
                            "Categories=Office;Utility;\n"
                            "Terminal=false\n");
}

QByteArray ReadResource(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
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
    const Piece pieces[] = {
        { home.filePath(QStringLiteral("mime/packages/tessary.xml")), MimePackage() },
        { home.filePath(QStringLiteral("applications/tessary.desktop")), DesktopEntry(exePath) },
        { home.filePath(QStringLiteral("icons/hicolor/48x48/apps/tessary.png")),
            ReadResource(QStringLiteral(":/icons/tessary-48.png")) },
        { home.filePath(QStringLiteral("icons/hicolor/48x48/mimetypes/application-x-tessary-library.png")),
            ReadResource(QStringLiteral(":/icons/library-48.png")) },
    };
    bool written = false;
    for (const Piece& piece : pieces) {
        if (piece.content.isEmpty())
            continue;
        if (WriteIfDifferent(piece.path, piece.content) > 0)
            written = true;
    }
    return written;
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
