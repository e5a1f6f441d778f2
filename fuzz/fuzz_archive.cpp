// Feeds arbitrary bytes to the library reader, the extension block after
// the roots included. Whatever it accepts must write back to bytes that
// read back to the same library.

#include "Archive.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

using namespace tessary;

namespace {

std::string WriteRoots(const RootList& roots)
{
    std::vector<const CCategory*> v;
    for (const auto& r : roots)
        v.push_back(r.get());
    std::string out;
    WriteLibrary(v, out);
    return out;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    RootList roots;
    std::vector<LibraryWarning> warnings;
    try {
        roots = ReadLibrary(std::string_view(reinterpret_cast<const char*>(data), size), &warnings);
    } catch (const ArchiveError&) {
        return 0;
    }
    std::string once = WriteRoots(roots);
    RootList again = ReadLibrary(once);
    if (WriteRoots(again) != once)
        std::abort();
    return 0;
}
