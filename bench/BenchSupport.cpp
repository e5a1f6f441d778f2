#include "BenchSupport.h"

#include "Category.h"
#include "TextCodec.h"

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <sys/stat.h>
#include <thread>

namespace tessary::bench {

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

double DirectScanSeconds(const std::string& root)
{
    double seconds = 0;
    std::unique_ptr<CRootFolderCategory> category;
    std::thread([&] {
        const auto start = Clock::now();
        category.reset(CreateRootFolderCategory("bench", DiskToGb(root)));
        seconds = Since(start);
    }).join();
    return seconds;
}

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
