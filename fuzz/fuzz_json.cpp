// Feeds arbitrary text to the JSON reader of tessary-cli. Whatever it
// accepts must be a library that the archive writes and reads back.

#include "Archive.h"
#include "CliSupport.h"
#include "Json.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

using namespace tessary;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    RootList roots;
    try {
        roots = cli::ReadJson(std::string_view(reinterpret_cast<const char*>(data), size));
    } catch (const cli::DataError&) {
        return 0;
    }
    std::vector<const CCategory*> view;
    for (const auto& r : roots)
        view.push_back(r.get());
    std::string bytes;
    WriteLibrary(view, bytes);
    RootList again = ReadLibrary(bytes);
    if (again.size() != roots.size())
        std::abort();
    return 0;
}
