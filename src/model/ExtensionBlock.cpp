#include "ExtensionBlock.h"

#include "Checksum.h"

#include <cstring>
#include <stdexcept>

namespace tessary {

using namespace format;

namespace {

void PutLe(std::string& out, std::uint64_t v, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        out += static_cast<char>(v >> (8 * i));
}

std::uint64_t GetLe(const char* p, int bytes) noexcept
{
    std::uint64_t v = 0;
    for (int i = bytes - 1; i >= 0; --i)
        v = (v << 8) | static_cast<unsigned char>(p[i]);
    return v;
}

bool HasMagicAt(std::string_view bytes, std::size_t at) noexcept
{
    return bytes.size() >= at + sizeof kExtensionMagic
        && std::memcmp(bytes.data() + at, kExtensionMagic, sizeof kExtensionMagic) == 0;
}

// The fields of a trailer that ends `bytes` (which must be long enough).
struct TrailerFields {
    ExtensionTrailer trailer;
    std::uint32_t blockChecksum;
};
TrailerFields ReadTrailer(std::string_view bytes) noexcept
{
    const char* t = bytes.data() + bytes.size() - kExtensionTrailerBytes;
    TrailerFields f;
    f.trailer.archiveLength = GetLe(t, 8);
    f.trailer.archiveChecksum = GetLe(t + 8, 8);
    f.trailer.blockLength = static_cast<std::uint32_t>(GetLe(t + 16, 4));
    f.blockChecksum = static_cast<std::uint32_t>(GetLe(t + 20, 4));
    return f;
}

std::string At(std::uint64_t offset)
{
    return " at byte offset " + std::to_string(offset);
}

} // namespace

void AppendExtensionBlock(std::string& out, std::uint64_t archiveLength, std::uint64_t archiveChecksum,
    std::span<const ExtensionRecord> records)
{
    const std::size_t start = out.size();
    std::size_t length = kExtensionHeaderBytes + kExtensionTrailerBytes;
    for (const ExtensionRecord& r : records)
        length += kExtensionRecordHeaderBytes + r.payload.size();
    if (length > 0xFFFFFFFFu || records.size() > 0xFFFFFFFFu)
        throw std::length_error("extension block of 4 GiB or more");
    out.reserve(start + length);

    out.append(kExtensionMagic, sizeof kExtensionMagic);
    PutLe(out, kExtensionVersion, 2);
    PutLe(out, records.size(), 4);
    for (const ExtensionRecord& r : records) {
        if (r.payload.size() > 0xFFFFFFFFu)
            throw std::length_error("extension record of 4 GiB or more");
        PutLe(out, r.kind, 2);
        PutLe(out, r.entry, 4);
        PutLe(out, r.payload.size(), 4);
        out += r.payload;
    }
    PutLe(out, archiveLength, 8);
    PutLe(out, archiveChecksum, 8);
    PutLe(out, length, 4);
    const auto blockChecksum
        = static_cast<std::uint32_t>(Checksum64::Of(std::string_view(out).substr(start)));
    PutLe(out, blockChecksum, 4);
    out.append(kExtensionMagic, sizeof kExtensionMagic);
}

std::optional<ExtensionTrailer> FindExtensionTrailer(std::string_view file) noexcept
{
    if (file.size() < kExtensionTrailerBytes)
        return std::nullopt;
    return ReadExtensionTrailer(file.substr(file.size() - kExtensionTrailerBytes), file.size());
}

std::optional<ExtensionTrailer> ReadExtensionTrailer(std::string_view last, std::uint64_t fileSize) noexcept
{
    if (last.size() != kExtensionTrailerBytes || !HasMagicAt(last, last.size() - sizeof kExtensionMagic))
        return std::nullopt;
    const ExtensionTrailer t = ReadTrailer(last).trailer;
    if (t.blockLength < kExtensionHeaderBytes + kExtensionTrailerBytes || t.archiveLength > fileSize
        || fileSize - t.archiveLength != t.blockLength)
        return std::nullopt;
    return t;
}

ExtensionParse ParseExtensionBlock(std::string_view tail, std::uint64_t archiveLength)
{
    ExtensionParse result;
    // A tail cut short inside the magic is a block cut short too.
    const bool opens = HasMagicAt(tail, 0)
        || (!tail.empty() && tail.size() < sizeof kExtensionMagic
            && std::memcmp(tail.data(), kExtensionMagic, tail.size()) == 0);
    const bool closes
        = tail.size() >= sizeof kExtensionMagic && HasMagicAt(tail, tail.size() - sizeof kExtensionMagic);
    if (!opens && !closes)
        return result; // nothing, or bytes of another program
    auto fail = [&](ExtensionProblem problem, const std::string& detail) {
        result.problem = problem;
        result.detail = detail;
        result.records.clear();
        return result;
    };
    if (!opens)
        return fail(ExtensionProblem::Damaged, "the block's header is missing" + At(archiveLength));
    if (tail.size() < kExtensionHeaderBytes + kExtensionTrailerBytes || !closes)
        return fail(ExtensionProblem::Damaged, "the block is truncated" + At(archiveLength + tail.size()));

    const TrailerFields f = ReadTrailer(tail);
    const std::uint64_t trailerAt = archiveLength + tail.size() - kExtensionTrailerBytes;
    if (f.trailer.blockLength != tail.size())
        return fail(ExtensionProblem::Damaged,
            "the block's length " + std::to_string(f.trailer.blockLength) + " is not its size "
                + std::to_string(tail.size()) + At(trailerAt + 16));
    const std::string_view checked = tail.substr(0, tail.size() - kExtensionTrailerBytes + 20);
    if (static_cast<std::uint32_t>(Checksum64::Of(checked)) != f.blockChecksum)
        return fail(ExtensionProblem::Damaged, "the block's checksum does not match" + At(trailerAt + 20));

    const std::uint16_t version = static_cast<std::uint16_t>(GetLe(tail.data() + 8, 2));
    if (version != kExtensionVersion)
        return fail(ExtensionProblem::NewerVersion,
            "the block has version " + std::to_string(version) + At(archiveLength + 8));
    if (f.trailer.archiveLength != archiveLength)
        return fail(ExtensionProblem::NotMatching,
            "the block was made for " + std::to_string(f.trailer.archiveLength)
                + " bytes of library before it, but the library before it has "
                + std::to_string(archiveLength));

    // Records, each bounded by what is left before the trailer.
    const std::size_t end = tail.size() - kExtensionTrailerBytes;
    std::size_t p = kExtensionHeaderBytes;
    const std::uint64_t count = GetLe(tail.data() + 10, 4);
    if (count > (end - p) / kExtensionRecordHeaderBytes)
        return fail(ExtensionProblem::Damaged,
            "a count of " + std::to_string(count) + " records does not fit the block"
                + At(archiveLength + 10));
    result.records.reserve(static_cast<std::size_t>(count));
    for (std::uint64_t i = 0; i < count; ++i) {
        if (end - p < kExtensionRecordHeaderBytes)
            return fail(ExtensionProblem::Damaged, "a record header is cut off" + At(archiveLength + p));
        ExtensionRecord r;
        r.kind = static_cast<std::uint16_t>(GetLe(tail.data() + p, 2));
        r.entry = static_cast<std::uint32_t>(GetLe(tail.data() + p + 2, 4));
        const std::uint64_t size = GetLe(tail.data() + p + 6, 4);
        p += kExtensionRecordHeaderBytes;
        if (size > end - p)
            return fail(ExtensionProblem::Damaged,
                "a record of " + std::to_string(size) + " bytes does not fit the block"
                    + At(archiveLength + p - 4));
        r.payload.assign(tail.data() + p, static_cast<std::size_t>(size));
        p += static_cast<std::size_t>(size);
        result.records.push_back(std::move(r));
    }
    if (p != end)
        return fail(ExtensionProblem::Damaged,
            std::to_string(end - p) + " bytes follow the last record" + At(archiveLength + p));

    result.archiveChecksum = f.trailer.archiveChecksum;
    return result;
}

} // namespace tessary
