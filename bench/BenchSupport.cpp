#include "BenchSupport.h"

#include <cstdlib>
#include <sys/stat.h>

namespace tessary::bench {

bool IsFolder(const std::string& path)
{
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::string BenchTreeRoot()
{
    if (const char* env = std::getenv("TESSARY_BENCH_TREE"))
        return env;
    return IsFolder("/work/bench-tree") ? "/work/bench-tree" : "/tmp/bench-tree";
}

} // namespace tessary::bench
