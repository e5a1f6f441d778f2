#pragma once

// Volumes: the discs, drives and partitions that imported categories were
// scanned from. A library remembers, for each CD, drive and folder import,
// which volume it came from (a VolumeRecord kept on the imported category
// and saved in the library's extension block); the mount table tells which
// volumes are connected now and where (CVolumeTable); together they lead an
// entry to its file at the volume's current mount point (LocateEntry).

#include "FileError.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <sys/types.h>
#include <unordered_map>
#include <vector>

namespace tessary {

class CItem;
class CPathCategory;
class IMountSource;

// What the library knows of the volume an imported category was scanned
// from, as of the scan. Texts are GB18030, as every text of the library.
struct VolumeRecord {
    // The file system's UUID as the system shows it ("1234-ABCD",
    // "3f2a...-..."); for ISO 9660 discs, which have none, the creation
    // time of the disc ("2004-05-06-07-08-09-00"). Empty when the file
    // system has neither (tmpfs, network shares).
    std::string uuid;
    std::string label; // the volume's name; for ISO 9660 and UDF its volume id
    std::string fsType; // "ext4", "vfat", "iso9660", ...
    std::uint64_t capacity = 0; // bytes
    std::uint64_t freeBytes = 0; // bytes free for users, at scan time
    std::string mountPoint; // where the volume was mounted when scanned
    // The scanned folder inside the volume, from the volume's root: "/" for
    // a whole drive or disc, "/photos/2020" for a folder on it.
    std::string pathInVolume = "/";
    std::int64_t scanTime = 0; // seconds since 1970 UTC; 0 when not scanned (linked by hand)
    std::string host; // the computer that scanned it

    bool operator==(const VolumeRecord&) const = default;
};

// The payload of a volume record in the extension block (see
// docs/library-format.md), and back. Decoding fails (nothing) on a payload
// that ends inside a field; bytes after the known fields are ignored, so
// that later versions may add fields.
std::string EncodeVolumeRecord(const VolumeRecord& record);
std::optional<VolumeRecord> DecodeVolumeRecord(std::string_view payload);

// A file system mounted now, as the mount table and the mount source show
// it. Texts are the system's bytes.
struct MountedVolume {
    int mountId = 0;
    dev_t device = 0;
    std::string root = "/"; // the folder of the file system mounted here (not "/" for a bind mount)
    std::string mountPoint;
    std::string fsType;
    std::string source; // "/dev/sdb1", "tmpfs", "server:/export"
    std::string uuid;
    std::string label;
    std::uint64_t capacity = 0;
    std::uint64_t freeBytes = 0;
};

// Whether a recorded volume is connected.
struct VolumeMatch {
    enum class State {
        Connected, // exactly one mounted volume fits
        Offline, // none does
        Ambiguous, // several do (cloned disks): the user chooses
    };
    State state = State::Offline;
    // The volume (Connected) or the candidates (Ambiguous), each a mount
    // through which the recorded folder is reachable.
    std::vector<const MountedVolume*> volumes;
};

// A snapshot of the mounted volumes with their identities. Reading one
// touches the system (the mount table, each new device's label); asking it
// afterwards touches nothing, so it is cheap enough for every repaint.
class CVolumeTable {
public:
    CVolumeTable() = default;
    // Reads the mount table through `source`, leaving out pseudo file
    // systems. Identities are taken from `previous` for mounts it already
    // knew (same mount id, device and source), so that only volumes mounted
    // since are probed.
    static CVolumeTable Read(IMountSource& source, const CVolumeTable* previous = nullptr);
    // A table of the given volumes (tests and benchmarks).
    explicit CVolumeTable(std::vector<MountedVolume> volumes);

    const std::vector<MountedVolume>& Volumes() const noexcept { return m_volumes; }

    // The mounted volumes `record` stands for. With a UUID: the volumes of
    // that UUID (compared without regard to letter case); when several
    // devices have it (cloned disks) those with the recorded label, then
    // those with the recorded capacity, are preferred; when still several,
    // the match is ambiguous. Without a UUID: a volume of the recorded type
    // mounted at the recorded mount point, else those with the recorded
    // label and type. Touches nothing.
    VolumeMatch Match(const VolumeRecord& record) const;

    // The mount whose mount point is the longest prefix of `realPath` (an
    // absolute path without links); the last one mounted when several share
    // it. Null when the table is empty.
    const MountedVolume* VolumeAt(std::string_view realPath) const;

private:
    void Index();

    std::vector<MountedVolume> m_volumes;
    std::unordered_multimap<std::string, std::size_t> m_byUuid; // lower-case UUID -> index
};

// Reads the record of the volume that holds the folder `diskPath` now: its
// identity, capacity and free space, the folder's place inside it, the time
// and the host. Nothing when the folder cannot be resolved or no mounted
// volume holds it.
std::optional<VolumeRecord> IdentifyVolumeAt(IMountSource& source, const std::string& diskPath);

// A record for linking `category` by hand to the connected volume `volume`
// (an old library, a drive letter): its identity and space now, no scan
// time, and the folder inside it guessed from the category's stored path
// (the part after a drive letter, or after the volume's mount point, or
// the volume's root).
VolumeRecord LinkRecord(const CPathCategory& category, const MountedVolume& volume, IMountSource& source);

// Where an entry's file or folder is now.
struct EntryLocation {
    enum class State {
        AsStored, // no volume record above it: the stored path is used
        Connected, // its volume is connected: diskPath is where it is now
        Offline, // its volume is not connected
        Ambiguous, // several connected volumes fit: see `candidates`
    };
    State state = State::AsStored;
    std::string diskPath; // AsStored and Connected: the path to use (disk bytes)
    const CPathCategory* top = nullptr; // the imported category that decided, if any
    const VolumeRecord* volume = nullptr; // its record, if any
    std::vector<const MountedVolume*> candidates; // Ambiguous
};

// Finds the file or folder of `entry` (a file data item or a category of
// an imported tree; any other entry is AsStored) through the record of the
// imported category above it. When the volume is connected the stored path
// is not used beyond its part below the imported category, so a volume
// mounted elsewhere is found all the same. `chosen`, when given, settles an
// ambiguous match (a volume the user picked). Touches nothing.
EntryLocation LocateEntry(
    const CItem& entry, const CVolumeTable& table, const MountedVolume* chosen = nullptr);

// The file of an entry cannot be reached because its volume is not
// connected, or because several connected volumes fit its record and none
// was chosen. A FileError (not found) on the stored path, so that callers
// that report file errors report it too; those that can ask the user to
// connect the volume catch it first.
class VolumeOfflineError : public FileError {
public:
    VolumeOfflineError(const std::string& storedDiskPath, const VolumeRecord& record, bool ambiguous);
    const VolumeRecord& Record() const noexcept { return m_record; }
    bool Ambiguous() const noexcept { return m_ambiguous; }

private:
    VolumeRecord m_record;
    bool m_ambiguous;
};

// The path to use for `where`: its diskPath when AsStored or Connected.
// Throws VolumeOfflineError when Offline or Ambiguous.
std::string DiskPathOrThrow(const EntryLocation& where);

// The folder of the imported category at its volume's mount `volume`
// (disk bytes), or nothing when the mount does not reach it (a bind mount
// of another folder).
std::optional<std::string> FolderOnVolume(const VolumeRecord& record, const MountedVolume& volume);

// The first eight characters of a UUID, as tooltips show it.
std::string ShortUuid(std::string_view uuid);

} // namespace tessary
