#pragma once

#include <cstdint>
#include <string>

namespace tessary {

struct MountedVolume;

// What the system tells about mounted volumes. The default object asks the
// system (the mount table in /proc/self/mountinfo, statvfs, the links in
// /dev/disk/by-uuid and /dev/disk/by-label, and libblkid where the device
// may be read); it never runs a program. Tests install their own object
// with ScopedVolumeSource, with a mount table of their making.
class IVolumeSource {
public:
    virtual ~IVolumeSource() = default;
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
IVolumeSource& VolumeSource() noexcept;
// Installs `source` (not owned); null restores the system's. Returns the previous one.
IVolumeSource* SetVolumeSource(IVolumeSource* source) noexcept;

class ScopedVolumeSource {
public:
    explicit ScopedVolumeSource(IVolumeSource& source) noexcept
        : m_previous(SetVolumeSource(&source))
    {
    }
    ~ScopedVolumeSource() { SetVolumeSource(m_previous); }
    ScopedVolumeSource(const ScopedVolumeSource&) = delete;
    ScopedVolumeSource& operator=(const ScopedVolumeSource&) = delete;

private:
    IVolumeSource* m_previous;
};

} // namespace tessary
