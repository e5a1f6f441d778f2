#pragma once

// Real temporary folders for the tests that touch the disk.

#include "FileSystem.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <functional>
#include <grp.h>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace tessary::testing {

// A fresh folder under the system's temporary folder, removed with
// everything in it at the end of the test.
class TempTree {
public:
    TempTree()
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "tessary-test-XXXXXX").string();
        char* made = ::mkdtemp(pattern.data());
        if (!made)
            throw std::runtime_error("mkdtemp failed");
        m_root = made;
    }
    ~TempTree()
    {
        std::error_code ec;
        // Give back permissions a test may have taken away, then remove.
        for (auto it = std::filesystem::recursive_directory_iterator(
                 m_root, std::filesystem::directory_options::skip_permission_denied, ec);
             !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec))
            if (it->is_directory(ec) && !it->is_symlink(ec))
                ::chmod(it->path().c_str(), 0755);
        std::filesystem::remove_all(m_root, ec);
    }
    TempTree(const TempTree&) = delete;
    TempTree& operator=(const TempTree&) = delete;

    const std::string& Root() const { return m_root; }
    std::string Path(const std::string& rel) const { return m_root + "/" + rel; }

    void Folder(const std::string& rel) const { std::filesystem::create_directories(Path(rel)); }
    void File(const std::string& rel, const std::string& bytes = {}) const
    {
        std::ofstream(Path(rel), std::ios::binary) << bytes;
    }
    std::string Read(const std::string& rel) const
    {
        std::ifstream in(Path(rel), std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    void SetTime(const std::string& rel, long long seconds) const
    {
        struct timespec ts[2] = { { static_cast<time_t>(seconds), 0 }, { static_cast<time_t>(seconds), 0 } };
        ::utimensat(AT_FDCWD, Path(rel).c_str(), ts, AT_SYMLINK_NOFOLLOW);
    }

private:
    std::string m_root;
};

// Runs `check` where permission bits apply: directly for an ordinary user,
// and for the superuser in a child process that has become user and group
// 65534 ("nobody"). True when `check` returned true.
inline bool AsUnprivilegedUser(const std::function<bool()>& check)
{
    if (::geteuid() != 0)
        return check();
    pid_t child = ::fork();
    if (child < 0)
        return false;
    if (child == 0) {
        if (::setgroups(0, nullptr) != 0 || ::setgid(65534) != 0 || ::setuid(65534) != 0)
            ::_exit(2);
        ::_exit(check() ? 0 : 1);
    }
    int status = 0;
    return ::waitpid(child, &status, 0) == child && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// The kind of failure a test file system injects.
inline int Fail(int err)
{
    errno = err;
    return -1;
}

} // namespace tessary::testing
