#pragma once

#include <mutex>
#include <string>
#include <string_view>
#include <sys/types.h>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace tessary {

struct MountedVolume;

// True for the kernel's pseudo file systems (proc, sysfs, devtmpfs, devpts,
// cgroup, debugfs, tracefs, ...): what they list is the running system, not
// files a library should record. `type` is the name the mount table gives.
bool IsPseudoFileSystemType(std::string_view type) noexcept;

// True when the statfs magic number `magic` is that of a pseudo file system.
// The fallback for a volume missing from the mount table; devtmpfs cannot be
// told from tmpfs this way.
bool IsPseudoFileSystemMagic(unsigned long magic) noexcept;

// Parses the text of /proc/self/mountinfo into device number -> file system
// type. Malformed lines are ignored. The first mount of a device wins: bind
// mounts of a device share its type anyway.
std::unordered_map<dev_t, std::string> ParseMountInfo(std::string_view text);

// Parses the text of /proc/self/mountinfo into its mounts, in table order,
// with the escapes of the path fields undone; identities and space are left
// empty. Malformed lines are ignored.
std::vector<MountedVolume> ParseMountTable(std::string_view text);

// The whole text of a small file of the system (/proc/self/mountinfo and
// the like); empty when it cannot be read.
std::string ReadSystemText(const char* path);

// Undoes the octal escapes of a mount table field (\040 for a blank, \011,
// \012, \134).
std::string UnescapeMountField(std::string_view field);

// The file system type of mounted devices, read from the mount table on the
// first question and read again once for a device it did not know (mounted
// since). Thread-safe: the workers of one scan share one table.
class CMountTable {
public:
    // Whether the volume `device`, whose root folder is open as `fd`, is a
    // pseudo file system. Unknown devices are judged by fstatfs(fd).
    bool IsPseudo(dev_t device, int fd);

private:
    void Load();

    std::mutex m_mutex;
    bool m_loaded = false;
    std::unordered_map<dev_t, std::string> m_types;
    std::unordered_set<dev_t> m_reloadedFor;
};

} // namespace tessary
