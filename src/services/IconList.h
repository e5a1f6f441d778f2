#pragma once

#include <QHash>
#include <QIcon>
#include <QList>
#include <QString>

namespace tessary {

// The shared list of small icons: entries hold an index into it, and the tree,
// the item list and the output bar draw from it. Icons are looked up by the
// pseudo names the entries give (a folder path, ".dli", ".cdcate" or
// "." + extension) without touching the disk, and each distinct icon is added
// once, so a library of a million files needs only a few dozen entries here.
//
// Index 0 is the generic file icon (data items without an extension use it).
class CIconList {
public:
    CIconList();

    // Index for a pseudo name (UTF-8). `directory`: the name is a folder
    // (a path ending in "/" is a drive or volume root); `openIcon`: the
    // open-folder form.
    int IndexOf(const QString& pseudoName, bool directory, bool openIcon);
    // The icon at `index`; a null icon when out of range.
    QIcon Icon(int index) const;
    int Count() const { return m_icons.size(); }

private:
    int Add(const QString& key, const QIcon& icon);

    QList<QIcon> m_icons;
    QHash<QString, int> m_byKey;
};

} // namespace tessary
