#pragma once

#include <cstdint>
#include <string>

namespace tessary {

struct MountedVolume;

// What the system tells about mounted volumes. The default object asks the
// system (the mount table in /proc/self/mountinfo, statvfs, the links in
// /dev/disk/by-uuid and /dev/disk/by-label, and libblkid where the device
// may be read); it never runs a program. Tests install their own object
// with ScopedMountSource, with a mount table of their making.
class IMountSource {
public:
    virtual ~IMountSource() = default;
    // The text of the mount table, in the form of /proc/self/mountinfo.
    virtual std::string MountInfo() = 0;
    // Fills in the UUID and label of the file system on `volume` (found from
    // its source device); leaves them empty where none can be read.
    virtual void Identify(MountedVolume& volume) = 0;
    // Capacity and free space for users, in bytes, of the file system
    // mounted at `mountPoint`; false when they cannot be read.
    virtual bool Space(const std::string& mountPoint, std::uint64_t& capacity, std::uint64_t& freeBytes) = 0;
    // `path` made absolute with links resolved, or empty when it does not
    // lead anywhere.
    virtual std::string RealPath(const std::string& path) = 0;
    // This computer's name.
    virtual std::string HostName() = 0;
    // Seconds since 1970 UTC.
    virtual std::int64_t Now() = 0;
};

// The volume source the model uses (the system's unless a test installed one).
IMountSource& MountSource() noexcept;
// Installs `source` (not owned); null restores the system's. Returns the previous one.
IMountSource* SetMountSource(IMountSource* source) noexcept;

class ScopedMountSource {
public:
    explicit ScopedMountSource(IMountSource& source) noexcept
        : m_previous(SetMountSource(&source))
    {
    }
    ~ScopedMountSource() { SetMountSource(m_previous); }
    ScopedMountSource(const ScopedMountSource&) = delete;
    ScopedMountSource& operator=(const ScopedMountSource&) = delete;

private:
    IMountSource* m_previous;
};

} // namespace tessary
