#include "Volumes.h"

#include "MountSource.h"
#include "MountTable.h"
#include "Volume.h"

#include <QDir>
#include <QFileInfo>
#include <QSet>
#include <QStorageInfo>

namespace tessary {

namespace {

bool IsBelow(const QString& path, const QString& folder)
{
    return path == folder || path.startsWith(folder + QLatin1Char('/'));
}

// The volume's label: the system's, or where that has none to give (no
// udev links), the one the core reads from the device.
QString Label(const QStorageInfo& storage)
{
    if (!storage.name().isEmpty() || !storage.device().startsWith("/dev/"))
        return storage.name();
    MountedVolume volume;
    volume.source = storage.device().toStdString();
    MountSource().Identify(volume);
    return QFile::decodeName(QByteArray::fromStdString(volume.label));
}

// The mounted volumes of this machine and its optical drives.
class CSystemVolumes : public IVolumeSource {
public:
    QList<VolumeInfo> Volumes() override
    {
        QList<VolumeInfo> volumes;
        QSet<QString> roots;
        QSet<QByteArray> devices;
        for (const QStorageInfo& storage : QStorageInfo::mountedVolumes()) {
            if (!storage.isValid())
                continue;
            const QString fileSystem = QString::fromLatin1(storage.fileSystemType());
            const QString root = storage.rootPath();
            devices.insert(storage.device());
            // Files bind-mounted over files (containers do this for
            // /etc/hosts and the like) are no volumes to import; a folder
            // mounted over twice is listed once.
            if (IsPseudoMount(fileSystem, root) || roots.contains(root) || !QFileInfo(root).isDir())
                continue;
            roots.insert(root);
            volumes.append({ root, storage.isReady() ? Label(storage) : QString(), fileSystem, false,
                storage.isReady() });
        }
        // Optical drives: one with a disc in it is among the mounted volumes
        // (by its device); one without shows as its device.
        const QDir dev(QStringLiteral("/dev"));
        const QStringList drives = dev.entryList({ QStringLiteral("sr[0-9]*") }, QDir::System, QDir::Name);
        for (const QString& name : drives) {
            const QString device = dev.filePath(name);
            if (!devices.contains(QFile::encodeName(device)))
                volumes.append({ device, QString(), QString(), true, false });
        }
        return volumes;
    }

    QString HomePath() override { return QDir::homePath(); }
};

IVolumeSource* g_installed = nullptr;

} // namespace

IVolumeSource& VolumeSource()
{
    static CSystemVolumes system;
    return g_installed ? *g_installed : system;
}

IVolumeSource* SetVolumeSource(IVolumeSource* source)
{
    IVolumeSource* previous = g_installed;
    g_installed = source;
    return previous;
}

bool IsOpticalVolume(const VolumeInfo& volume)
{
    return volume.emptyOpticalDrive || volume.fileSystem == QLatin1String("iso9660")
        || volume.fileSystem == QLatin1String("udf");
}

bool IsPseudoMount(const QString& fileSystem, const QString& rootPath)
{
    if (IsPseudoFileSystemType(fileSystem.toStdString()))
        return true;
    for (const char* folder : { "/proc", "/sys", "/dev" })
        if (IsBelow(rootPath, QLatin1String(folder)))
            return true;
    // /run holds the system's run-time state, except that some desktops
    // mount removable media below /run/media.
    return IsBelow(rootPath, QStringLiteral("/run")) && !IsBelow(rootPath, QStringLiteral("/run/media"));
}

QString VolumeText(const VolumeInfo& volume)
{
    if (!volume.readable || volume.emptyOpticalDrive)
        return volume.rootPath;
    return volume.rootPath + QLatin1Char('{') + volume.label + QLatin1Char('}');
}

} // namespace tessary
