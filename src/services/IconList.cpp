#include "IconList.h"

#include <QApplication>
#include <QFileIconProvider>
#include <QMimeDatabase>
#include <QStyle>

namespace tessary {
namespace {

QIcon LibraryIcon()
{
    QIcon icon;
    for (int size : { 16, 32, 48 })
        icon.addFile(QStringLiteral(":/icons/library-%1.png").arg(size));
    return icon;
}

QIcon CdIcon()
{
    QIcon icon;
    for (int size : { 16, 32, 48 })
        icon.addFile(QStringLiteral(":/icons/cdcate-%1.png").arg(size));
    return icon;
}

} // namespace

CIconList::CIconList()
{
    QFileIconProvider provider;
    Add(QStringLiteral("file"), provider.icon(QFileIconProvider::File));
}

int CIconList::Add(const QString& key, const QIcon& icon)
{
    const int index = m_icons.size();
    m_icons.append(icon);
    m_byKey.insert(key, index);
    return index;
}

int CIconList::IndexOf(const QString& pseudoName, bool directory, bool openIcon)
{
    // Icons depend on the kind of name only, not on the whole path: one
    // entry serves every folder, one every file type.
    QString key;
    if (directory) {
        const bool root = pseudoName.endsWith(QLatin1Char('/')) || pseudoName.endsWith(QLatin1Char('\\'));
        key = root     ? QStringLiteral("dir:drive")
            : openIcon ? QStringLiteral("dir:open")
                       : QStringLiteral("dir");
    } else {
        const qsizetype dot = pseudoName.lastIndexOf(QLatin1Char('.'));
        key = dot < 0 ? QStringLiteral("file") : QStringLiteral("ext:") + pseudoName.mid(dot).toLower();
    }
    if (auto it = m_byKey.constFind(key); it != m_byKey.constEnd())
        return it.value();

    QFileIconProvider provider;
    QIcon icon;
    if (key == QStringLiteral("dir:drive")) {
        icon = provider.icon(QFileIconProvider::Drive);
    } else if (key == QStringLiteral("dir:open")) {
        icon = QIcon::fromTheme(QStringLiteral("folder-open"), provider.icon(QFileIconProvider::Folder));
    } else if (key == QStringLiteral("dir")) {
        icon = provider.icon(QFileIconProvider::Folder);
    } else if (key == QStringLiteral("ext:.dli")) {
        icon = LibraryIcon();
    } else if (key == QStringLiteral("ext:.cdcate")) {
        icon = CdIcon();
    } else {
        const QMimeType mime = QMimeDatabase().mimeTypeForFile(
            QStringLiteral("x") + key.mid(4), QMimeDatabase::MatchExtension);
        icon = QIcon::fromTheme(mime.iconName(), QIcon::fromTheme(mime.genericIconName()));
        if (icon.isNull())
            icon = provider.icon(QFileIconProvider::File);
    }
    return Add(key, icon);
}

QIcon CIconList::Icon(int index) const
{
    return index >= 0 && index < m_icons.size() ? m_icons.at(index) : QIcon();
}

} // namespace tessary
