// The system's volume source: the mount table, statvfs, the links udev
// keeps in /dev/disk and, where the device may be read, libblkid.

#include "MountSource.h"

#include "MountTable.h"
#include "Volume.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#ifdef TESSARY_HAVE_BLKID
#include <blkid/blkid.h>
#endif

namespace tessary {

namespace {

// udev writes the bytes of a name that a file name cannot hold as \xHH.
std::string UnescapeUdevName(std::string_view name)
{
    std::string out;
    auto hex = [](char c) {
        return c >= '0' && c <= '9' ? c - '0'
            : c >= 'a' && c <= 'f'  ? c - 'a' + 10
            : c >= 'A' && c <= 'F'  ? c - 'A' + 10
                                    : -1;
    };
    for (std::size_t i = 0; i < name.size(); ++i) {
        if (name[i] == '\\' && i + 3 < name.size() && name[i + 1] == 'x' && hex(name[i + 2]) >= 0
            && hex(name[i + 3]) >= 0) {
            out += static_cast<char>(hex(name[i + 2]) * 16 + hex(name[i + 3]));
            i += 3;
        } else {
            out += name[i];
        }
    }
    return out;
}

// The name of the link in `folder` that leads to the block device `rdev`.
std::string LinkNameFor(const char* folder, dev_t rdev)
{
    std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir(folder), &::closedir);
    if (!dir)
        return {};
    const int dirFd = ::dirfd(dir.get());
    while (const dirent* e = ::readdir(dir.get())) {
        if (e->d_name[0] == '.')
            continue;
        struct stat st;
        if (::fstatat(dirFd, e->d_name, &st, 0) == 0 && S_ISBLK(st.st_mode) && st.st_rdev == rdev)
            return UnescapeUdevName(e->d_name);
    }
    return {};
}

class SystemMountSource : public IMountSource {
public:
    std::string MountInfo() override { return ReadSystemText("/proc/self/mountinfo"); }

    void Identify(MountedVolume& volume) override
    {
        // Only a block device has an identity to read; its node must be the
        // device that is mounted.
        struct stat st;
        if (volume.source.compare(0, 5, "/dev/") != 0 || ::stat(volume.source.c_str(), &st) != 0
            || !S_ISBLK(st.st_mode))
            return;
        volume.uuid = LinkNameFor("/dev/disk/by-uuid", st.st_rdev);
        volume.label = LinkNameFor("/dev/disk/by-label", st.st_rdev);
        if (volume.uuid.empty())
            Probe(volume);
    }

    bool Space(const std::string& mountPoint, std::uint64_t& capacity, std::uint64_t& freeBytes) override
    {
        struct statvfs sv;
        if (::statvfs(mountPoint.c_str(), &sv) != 0)
            return false;
        capacity = static_cast<std::uint64_t>(sv.f_blocks) * sv.f_frsize;
        freeBytes = static_cast<std::uint64_t>(sv.f_bavail) * sv.f_frsize;
        return true;
    }

    std::string RealPath(const std::string& path) override
    {
        std::unique_ptr<char, decltype(&std::free)> real(::realpath(path.c_str(), nullptr), &std::free);
        return real ? std::string(real.get()) : std::string();
    }

    std::string HostName() override
    {
        char name[HOST_NAME_MAX + 1] = {};
        if (::gethostname(name, sizeof name - 1) != 0)
            return {};
        return name;
    }

    std::int64_t Now() override { return static_cast<std::int64_t>(std::time(nullptr)); }

private:
    // Reads the superblock where udev's links are missing (no udev, a
    // container). Needs read access to the device, which usually only the
    // superuser and the disk group have; without it nothing is learnt.
    static void Probe([[maybe_unused]] MountedVolume& volume)
    {
#ifdef TESSARY_HAVE_BLKID
        blkid_probe probe = blkid_new_probe_from_filename(volume.source.c_str());
        if (!probe)
            return;
        blkid_probe_enable_superblocks(probe, 1);
        blkid_probe_set_superblocks_flags(probe, BLKID_SUBLKS_UUID | BLKID_SUBLKS_LABEL | BLKID_SUBLKS_TYPE);
        if (blkid_do_safeprobe(probe) == 0) {
            const char* value = nullptr;
            std::size_t length = 0;
            if (blkid_probe_lookup_value(probe, "UUID", &value, &length) == 0 && value)
                volume.uuid = value;
            if (volume.label.empty() && blkid_probe_lookup_value(probe, "LABEL", &value, &length) == 0
                && value)
                volume.label = value;
        }
        blkid_free_probe(probe);
#endif
    }
};

SystemMountSource g_system;
IMountSource* g_source = &g_system;

} // namespace

IMountSource& MountSource() noexcept
{
    return *g_source;
}

IMountSource* SetMountSource(IMountSource* source) noexcept
{
    IMountSource* previous = g_source;
    g_source = source ? source : &g_system;
    return previous;
}

} // namespace tessary
