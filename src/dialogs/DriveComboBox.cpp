#include "DriveComboBox.h"

#include <QFileIconProvider>
#include <QIcon>

namespace tessary {

namespace {

constexpr int kRootRole = Qt::UserRole;

// Entries sort by their root paths, the part of the text before the label
// (sorting the whole text would put "/{System}" after "/media/..."): case
// ignored first, so that "/media/a" and "/media/B" sort as a reader expects,
// then by case and label, so that the order is always the same.
int Compare(const QString& a, const QString& b)
{
    const int c = a.compare(b, Qt::CaseInsensitive);
    return c != 0 ? c : a.compare(b, Qt::CaseSensitive);
}

QIcon IconOf(const VolumeInfo& volume)
{
    // The theme's drive icons where the desktop has them; the generic drive
    // icon otherwise. Neither touches the disk.
    const QIcon fallback = QFileIconProvider().icon(QAbstractFileIconProvider::Drive);
    if (IsOpticalVolume(volume))
        return QIcon::fromTheme(QStringLiteral("drive-optical"), fallback);
    return QIcon::fromTheme(QStringLiteral("drive-harddisk"), fallback);
}

bool Holds(const QString& root, const QString& path)
{
    if (root.isEmpty())
        return false;
    if (root == QLatin1String("/") || path == root)
        return path.startsWith(QLatin1Char('/'));
    return path.startsWith(root.endsWith(QLatin1Char('/')) ? root : root + QLatin1Char('/'));
}

} // namespace

CDriveComboBox::CDriveComboBox(QWidget* parent)
    : QComboBox(parent)
{
    setEditable(false);
    setIconSize(QSize(16, 16));
    setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    setMinimumContentsLength(16);
}

void CDriveComboBox::AttachAllDrives()
{
    IVolumeSource& source = VolumeSource();
    Fill(source.Volumes());
    const QString home = source.HomePath();
    int best = -1;
    for (int i = 0; i < count(); ++i) {
        const QString root = itemData(i, kRootRole).toString();
        if (Holds(root, home) && (best < 0 || root.size() > itemData(best, kRootRole).toString().size()))
            best = i;
    }
    setCurrentIndex(best >= 0 ? best : (count() > 0 ? 0 : -1));
}

void CDriveComboBox::AttachCDDrives()
{
    QList<VolumeInfo> optical;
    for (const VolumeInfo& v : VolumeSource().Volumes())
        if (IsOpticalVolume(v))
            optical.append(v);
    Fill(optical);
    setCurrentIndex(count() > 0 ? 0 : -1);
}

QString CDriveComboBox::GetSelectedDrive() const
{
    const int i = currentIndex();
    return i < 0 ? QString() : itemData(i, kRootRole).toString();
}

bool CDriveComboBox::SelectDrive(const QString& root)
{
    for (int i = 0; i < count(); ++i) {
        if (itemData(i, kRootRole).toString() == root) {
            setCurrentIndex(i);
            return true;
        }
    }
    return false;
}

int CDriveComboBox::AddDrive(const VolumeInfo& volume)
{
    const QString text = VolumeText(volume);
    int at = 0;
    for (; at < count(); ++at) {
        const int c = Compare(volume.rootPath, itemData(at, kRootRole).toString());
        if (c < 0 || (c == 0 && Compare(text, itemText(at)) < 0))
            break;
    }
    // Inserting before the selected entry moves it; keep the same entry
    // selected (a combo box with entries otherwise selects its first).
    const int selected = currentIndex();
    insertItem(at, IconOf(volume), text, volume.rootPath);
    setItemData(at, text, Qt::AccessibleTextRole);
    setCurrentIndex(selected < 0 ? -1 : (selected >= at ? selected + 1 : selected));
    return at;
}

void CDriveComboBox::Fill(const QList<VolumeInfo>& volumes)
{
    clear();
    for (const VolumeInfo& v : volumes)
        AddDrive(v);
}

} // namespace tessary
