// Feeds arbitrary bytes to the library reader, the extension block after
// the roots included. Whatever it accepts must write back to bytes that
// read back to the same library, and reading the same bytes piece by piece
// (as files are read) must give the same library or the same fault at the
// same offset.

#include "Archive.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

using namespace tessary;

namespace {

// The bytes in pieces of 1 to 7 bytes.
class PieceSource : public IByteSource {
public:
    explicit PieceSource(std::string_view bytes)
        : m_bytes(bytes)
    {
    }
    std::size_t Read(char* buffer, std::size_t size) override
    {
        std::size_t n = std::min({ size, m_bytes.size() - m_at, std::size_t(1) + m_at % 7 });
        std::copy_n(m_bytes.data() + m_at, n, buffer);
        m_at += n;
        return n;
    }
    std::uint64_t Remaining() const noexcept override { return m_bytes.size() - m_at; }

private:
    std::string_view m_bytes;
    std::size_t m_at = 0;
};

std::string WriteRoots(const RootList& roots)
{
    std::vector<const CCategory*> v;
    for (const auto& r : roots)
        v.push_back(r.get());
    std::string out;
    WriteLibrary(v, out);
    return out;
}

// The bytes of the roots of a library file, without an extension block.
std::string RootsOf(const std::string& file)
{
    std::size_t end = 0;
    ReadLibraryRoots(file, end);
    return file.substr(0, end);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    RootList roots, pieces;
    std::vector<LibraryWarning> warnings;
    std::string fault, pieceFault;
    auto describe = [](const ArchiveError& e) {
        return std::to_string(static_cast<int>(e.Fault())) + "@" + std::to_string(e.Offset());
    };
    try {
        roots = ReadLibrary(bytes, &warnings);
    } catch (const ArchiveError& e) {
        fault = describe(e);
    }
    try {
        PieceSource source(bytes);
        pieces = ReadLibrary(source);
    } catch (const ArchiveError& e) {
        pieceFault = describe(e);
    }
    // The piecewise reader reads the roots alone: the root bytes must agree.
    if (fault != pieceFault || (fault.empty() && RootsOf(WriteRoots(roots)) != WriteRoots(pieces)))
        std::abort();
    if (!fault.empty())
        return 0;
    std::string once = WriteRoots(roots);
    RootList again = ReadLibrary(once);
    if (WriteRoots(again) != once)
        std::abort();
    return 0;
}
