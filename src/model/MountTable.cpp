#include "MountTable.h"

#include "FileSystem.h"
#include "Volume.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <fcntl.h>
#include <sys/statfs.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace tessary {

namespace {

constexpr std::array<std::string_view, 24> kPseudoTypes { "autofs", "binfmt_misc", "bpf", "cgroup", "cgroup2",
    "configfs", "debugfs", "devpts", "devtmpfs", "efivarfs", "fusectl", "hugetlbfs", "mqueue", "nsfs",
    "pipefs", "proc", "pstore", "rootfs", "rpc_pipefs", "securityfs", "selinuxfs", "sockfs", "sysfs",
    "tracefs" };

// statfs magic numbers of the same kinds (linux/magic.h).
constexpr std::array<unsigned long, 19> kPseudoMagics { 0x0187UL, 0x42494e4dUL, 0xcafe4a11UL, 0x27e0ebUL,
    0x63677270UL, 0x62656570UL, 0x64626720UL, 0x1cd1UL, 0xde5e81e4UL, 0x65735543UL, 0x958458f6UL,
    0x19800202UL, 0x6e736673UL, 0x9fa0UL, 0x6165676cUL, 0x73636673UL, 0xf97cff8cUL, 0x62656572UL,
    0x74726163UL };

std::string_view NextField(std::string_view& line)
{
    std::size_t start = line.find_first_not_of(' ');
    if (start == std::string_view::npos) {
        line = {};
        return {};
    }
    line.remove_prefix(start);
    std::size_t end = line.find(' ');
    std::string_view field = line.substr(0, end);
    line.remove_prefix(end == std::string_view::npos ? line.size() : end);
    return field;
}

bool ParseNumber(std::string_view s, unsigned long& out)
{
    if (s.empty())
        return false;
    unsigned long v = 0;
    for (char c : s) {
        if (c < '0' || c > '9')
            return false;
        v = v * 10 + static_cast<unsigned long>(c - '0');
    }
    out = v;
    return true;
}

} // namespace

std::string ReadSystemText(const char* path)
{
    const int fd = ::open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return {};
    std::string text = ReadToEnd(fd);
    ::close(fd);
    return text;
}

bool IsPseudoFileSystemType(std::string_view type) noexcept
{
    return std::find(kPseudoTypes.begin(), kPseudoTypes.end(), type) != kPseudoTypes.end();
}

bool IsPseudoFileSystemMagic(unsigned long magic) noexcept
{
    return std::find(kPseudoMagics.begin(), kPseudoMagics.end(), magic) != kPseudoMagics.end();
}

std::unordered_map<dev_t, std::string> ParseMountInfo(std::string_view text)
{
    // Each line: id parent major:minor root mountpoint options [optional...] - type source super-options
    std::unordered_map<dev_t, std::string> types;
    while (!text.empty()) {
        std::size_t eol = text.find('\n');
        std::string_view line = text.substr(0, eol);
        text.remove_prefix(eol == std::string_view::npos ? text.size() : eol + 1);

        NextField(line); // mount id
        NextField(line); // parent id
        std::string_view device = NextField(line);
        std::size_t colon = device.find(':');
        unsigned long major = 0, minor = 0;
        if (colon == std::string_view::npos || !ParseNumber(device.substr(0, colon), major)
            || !ParseNumber(device.substr(colon + 1), minor))
            continue;
        std::string_view field;
        do
            field = NextField(line);
        while (!field.empty() && field != "-");
        std::string_view type = NextField(line);
        if (field != "-" || type.empty())
            continue;
        types.emplace(makedev(major, minor), std::string(type));
    }
    return types;
}

std::vector<MountedVolume> ParseMountTable(std::string_view text)
{
    // Each line: id parent major:minor root mountpoint options [optional...] - type source super-options
    std::vector<MountedVolume> mounts;
    while (!text.empty()) {
        std::size_t eol = text.find('\n');
        std::string_view line = text.substr(0, eol);
        text.remove_prefix(eol == std::string_view::npos ? text.size() : eol + 1);

        unsigned long id = 0, major = 0, minor = 0;
        if (!ParseNumber(NextField(line), id))
            continue;
        NextField(line); // parent id
        std::string_view device = NextField(line);
        std::size_t colon = device.find(':');
        if (colon == std::string_view::npos || !ParseNumber(device.substr(0, colon), major)
            || !ParseNumber(device.substr(colon + 1), minor))
            continue;
        std::string_view root = NextField(line);
        std::string_view mountPoint = NextField(line);
        std::string_view field;
        do
            field = NextField(line);
        while (!field.empty() && field != "-");
        std::string_view type = NextField(line);
        std::string_view source = NextField(line);
        if (field != "-" || type.empty() || root.empty() || mountPoint.empty())
            continue;
        MountedVolume v;
        v.mountId = static_cast<int>(id);
        v.device = makedev(major, minor);
        v.root = UnescapeMountField(root);
        v.mountPoint = UnescapeMountField(mountPoint);
        v.fsType = UnescapeMountField(type);
        v.source = UnescapeMountField(source);
        mounts.push_back(std::move(v));
    }
    return mounts;
}

std::string UnescapeMountField(std::string_view field)
{
    std::string out;
    out.reserve(field.size());
    for (std::size_t i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && i + 3 < field.size() && field[i + 1] >= '0' && field[i + 1] <= '3'
            && field[i + 2] >= '0' && field[i + 2] <= '7' && field[i + 3] >= '0' && field[i + 3] <= '7') {
            out += static_cast<char>(
                (field[i + 1] - '0') * 64 + (field[i + 2] - '0') * 8 + (field[i + 3] - '0'));
            i += 3;
        } else {
            out += field[i];
        }
    }
    return out;
}

void CMountTable::Load()
{
    m_types = ParseMountInfo(ReadSystemText("/proc/self/mountinfo"));
    m_loaded = true;
}

bool CMountTable::IsPseudo(dev_t device, int fd)
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (!m_loaded)
            Load();
        auto it = m_types.find(device);
        if (it == m_types.end() && m_reloadedFor.insert(device).second) {
            Load();
            it = m_types.find(device);
        }
        if (it != m_types.end())
            return IsPseudoFileSystemType(it->second);
    }
    struct statfs sfs;
    return fd >= 0 && ::fstatfs(fd, &sfs) == 0
        && IsPseudoFileSystemMagic(static_cast<unsigned long>(sfs.f_type));
}

} // namespace tessary
