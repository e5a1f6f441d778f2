#pragma once

#include <string_view>

namespace tessary {

// The last component of a disk path, without trailing separators: "/a/b/"
// gives "b", "b" stays "b" and "/" stays "/". The bytes come back as they
// are, unconverted (a view into `path`).
inline std::string_view LastPathComponent(std::string_view path) noexcept
{
    while (path.size() > 1 && path.back() == '/')
        path.remove_suffix(1);
    std::size_t sep = path.rfind('/');
    if (sep != std::string_view::npos && path.size() > 1)
        path.remove_prefix(sep + 1);
    return path;
}

} // namespace tessary
