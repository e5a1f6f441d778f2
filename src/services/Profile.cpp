#include "Profile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>

namespace tessary {
namespace {

QSettings* g_applicationProfile = nullptr;
const char* const kProfileName = "Oakbrim.ini";
const char* const kRecentSection = "Recent File List";

bool CanWriteProfile(const QString& dir)
{
    const QFileInfo dirInfo(dir);
    if (!dirInfo.isDir() || !dirInfo.isWritable())
        return false;
    const QFileInfo file(QDir(dir).filePath(QString::fromLatin1(kProfileName)));
    return !file.exists() || file.isWritable();
}

} // namespace

QSettings* ApplicationProfile()
{
    return g_applicationProfile;
}

void SetApplicationProfile(QSettings* profile)
{
    g_applicationProfile = profile;
}

bool IsInstalledCopy(const QString& exeDir)
{
    const QString dir = QDir::cleanPath(QDir(exeDir).absolutePath());
    return dir == QStringLiteral("/usr") || dir.startsWith(QStringLiteral("/usr/"))
        || QFileInfo(QDir(dir).filePath(QStringLiteral("../share/tessary"))).isDir();
}

QString ProfilePathFor(const QString& exeDir, const QString& configDir)
{
    const QString name = QString::fromLatin1(kProfileName);
    if (!IsInstalledCopy(exeDir) && CanWriteProfile(exeDir))
        return QDir(exeDir).filePath(name);
    return QDir(configDir).filePath(name);
}

QString ReadRawProfileString(const QString& path, const QString& section, const QString& key)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return {};
    bool inSection = false;
    while (!file.atEnd()) {
        const QString line = QString::fromUtf8(file.readLine()).trimmed();
        if (line.startsWith(QLatin1Char('['))) {
            const qsizetype close = line.indexOf(QLatin1Char(']'));
            inSection
                = close > 0 && line.mid(1, close - 1).trimmed().compare(section, Qt::CaseInsensitive) == 0;
            continue;
        }
        if (!inSection)
            continue;
        const qsizetype equals = line.indexOf(QLatin1Char('='));
        if (equals <= 0 || line.left(equals).trimmed().compare(key, Qt::CaseInsensitive) != 0)
            continue;
        QString value = line.mid(equals + 1).trimmed();
        if (value.size() >= 2 && value.startsWith(QLatin1Char('"')) && value.endsWith(QLatin1Char('"')))
            value = value.mid(1, value.size() - 2);
        return value;
    }
    return {};
}

QString HelpPathFor(const QString& exePath)
{
    // Only the file name's own extension goes: a dot in a folder name stays.
    const qsizetype slash = exePath.lastIndexOf(QLatin1Char('/'));
    const qsizetype dot = exePath.lastIndexOf(QLatin1Char('.'));
    QString path = dot > slash + 1 ? exePath.left(dot) : exePath;
    path += QStringLiteral(".HLP");
    path.replace(QStringLiteral(".HLP"), QStringLiteral(".chm"), Qt::CaseSensitive);
    return path;
}

QString ManualPathFor(const QString& exeDir, const QString& sourceManualDir)
{
    const QString installed = QDir::cleanPath(exeDir + QStringLiteral("/../share/tessary/manual/index.html"));
    if (QFileInfo(installed).isFile())
        return installed;
    if (!sourceManualDir.isEmpty()) {
        const QString source = QDir(sourceManualDir).filePath(QStringLiteral("index.html"));
        if (QFileInfo(source).isFile())
            return source;
    }
    return installed;
}

void CRecentFileList::Load(QSettings& profile)
{
    m_files.clear();
    profile.beginGroup(QString::fromLatin1(kRecentSection));
    for (int i = 1; i <= m_capacity; ++i) {
        const QString path = profile.value(QStringLiteral("File%1").arg(i)).toString();
        if (!path.isEmpty() && !m_files.contains(path))
            m_files.append(path);
    }
    profile.endGroup();
}

void CRecentFileList::Save(QSettings& profile) const
{
    profile.beginGroup(QString::fromLatin1(kRecentSection));
    for (int i = 1; i <= m_capacity; ++i) {
        const QString key = QStringLiteral("File%1").arg(i);
        if (i <= m_files.size())
            profile.setValue(key, m_files.at(i - 1));
        else
            profile.remove(key);
    }
    profile.endGroup();
}

void CRecentFileList::Add(const QString& path)
{
    m_files.removeAll(path);
    m_files.prepend(path);
    while (m_files.size() > m_capacity)
        m_files.removeLast();
}

void CRecentFileList::Remove(const QString& path)
{
    m_files.removeAll(path);
}

} // namespace tessary
