#pragma once

#include <QList>
#include <QString>

namespace tessary {

// One volume as the drive pickers list it.
struct VolumeInfo {
    // Where the volume is mounted ("/", "/media/alice/DISC"); for an optical
    // drive without a medium, its device ("/dev/sr0"), which nothing can be
    // read from, so that importing it gives an empty category.
    QString rootPath;
    // The volume label; empty when the volume has none or it cannot be read.
    QString label;
    // The file system type as the system names it ("ext4", "iso9660"); empty
    // for an optical drive without a medium.
    QString fileSystem;
    // An optical drive with no medium in it (so nothing is mounted from it).
    bool emptyOpticalDrive = false;
    // Whether the volume could be asked for its label (a volume without
    // one still could); false for a drive without a medium, a volume that
    // is not ready, or a stored drive that is not mounted now.
    bool readable = true;
};

// Where the drive pickers learn which volumes exist. The system's source is
// used unless a test installs its own.
class IVolumeSource {
public:
    virtual ~IVolumeSource() = default;
    // The mounted volumes that can hold the user's files (pseudo file systems
    // left out) and the optical drives without a medium, in any order.
    virtual QList<VolumeInfo> Volumes() = 0;
    // The user's home folder; the drive picker preselects its volume.
    virtual QString HomePath() = 0;
};

// The source in use: the installed one, or the system's.
IVolumeSource& VolumeSource();
// Installs `source` (not owned; null restores the system's). Returns the
// previously installed one (null for the system's).
IVolumeSource* SetVolumeSource(IVolumeSource* source);

// True for a CD or DVD: a volume of type iso9660 or udf, or an optical drive
// without a medium.
bool IsOpticalVolume(const VolumeInfo& volume);

// True for mounts that hold no user files: kernel and run-time pseudo file
// systems (proc, sysfs, cgroup, devpts, ...) and anything mounted below
// /proc, /sys, /dev or /run (but /run/media, where removable media may go).
bool IsPseudoMount(const QString& fileSystem, const QString& rootPath);

// The entry text of a volume: its root path, followed by "{label}" when its
// label could be read ("{}" for a volume without a label); the root path
// alone when it could not.
QString VolumeText(const VolumeInfo& volume);

} // namespace tessary
