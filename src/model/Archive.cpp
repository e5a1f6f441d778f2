#include "Archive.h"

#include "ArchiveFormat.h"
#include "Checksum.h"
#include "Datum.h"
#include "EntryWalk.h"
#include "ExtensionRecords.h"
#include "TextCodec.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <optional>
#include <stdexcept>
#include <utility>

namespace tessary {

using namespace format;

const char* ArchiveFaultText(ArchiveFault fault) noexcept
{
    switch (fault) {
    case ArchiveFault::EndOfFile:
        return "unexpected end of file";
    case ArchiveFault::BadClass:
        return "unknown class name";
    case ArchiveFault::BadSchema:
        return "unsupported class schema";
    case ArchiveFault::BadIndex:
        return "reference to an undefined class";
    case ArchiveFault::NullTag:
        return "null object tag";
    case ArchiveFault::ObjectReference:
        return "reference to an earlier object";
    case ArchiveFault::WrongKind:
        return "entry of the wrong kind for its list";
    case ArchiveFault::TooLarge:
        return "text or list too large for the library format";
    }
    return "library format error";
}

namespace {

std::string FaultMessage(ArchiveFault fault, std::uint64_t offset, const std::string& detail)
{
    std::string s = ArchiveFaultText(fault);
    if (!detail.empty())
        s += " (" + detail + ")";
    s += " at byte offset " + std::to_string(offset);
    return s;
}

// ---------------------------------------------------------------- writing

class Writer {
public:
    Writer(std::string& out, IByteSink* sink)
        : m_out(out)
        , m_sink(sink)
    {
        if (m_out.size() < kChunk)
            m_out.resize(kChunk);
        m_p = m_out.data();
        m_limit = m_p + m_out.size();
    }

    void Library(const std::vector<const CCategory*>& roots)
    {
        Begin(roots);
        Steps(static_cast<std::size_t>(-1));
        Finish();
    }

    // Writes the root count and starts the walk; `roots` must outlive it.
    void Begin(std::span<const CCategory* const> roots)
    {
        Count(roots.size());
        m_walk.emplace(roots);
    }

    // Writes about `budget` more entries (a category counts once on the way
    // in and once on the way out, a data item once). True when the roots
    // are all written. With `records`, the records of the extension block
    // are gathered on the way, numbered as CollectRecords numbers them.
    //
    // Depth first: a category's head (tag, texts, sub-category count) when
    // the walk enters it, its tail (data items, path) when it leaves it, so
    // that its sub-categories lie in between. A long list of data items may
    // be cut between two items.
    bool Steps(std::size_t budget, std::vector<ExtensionRecord>* records = nullptr)
    {
        std::size_t done = 0;
        for (;;) {
            if (m_tail) {
                const DatumList& data = m_tail->GetDatumList();
                const std::size_t left = data.size() - m_nextDatum;
                const std::size_t stop = m_nextDatum + std::min(left, budget - done);
                for (std::size_t i = m_nextDatum; i < stop; ++i) {
                    Datum(*data[i]);
                    if (records)
                        AppendRecordsOf(*data[i], static_cast<std::uint32_t>(m_tailNumber + i), *records);
                }
                done += stop - m_nextDatum;
                m_nextDatum = stop;
                if (stop < data.size())
                    return false;
                if (HasPath(m_tail->GetClassId()))
                    Text(static_cast<const CPathCategory&>(*m_tail).m_strPath);
                m_tail = nullptr;
            }
            if (done >= budget)
                return false;
            if (!m_walk->Next())
                return true;
            ++done;
            const CCategory& c = m_walk->Current();
            if (m_walk->Entering()) {
                CategoryHead(c);
                if (records)
                    AppendRecordsOf(c, static_cast<std::uint32_t>(m_entryNumber), *records);
                ++m_entryNumber;
            } else {
                Count(c.GetDatumList().size());
                m_tailNumber = m_entryNumber;
                m_entryNumber += c.GetDatumList().size();
                m_tail = &c;
                m_nextDatum = 0;
            }
        }
    }

    // Hands what is buffered to the sink, or trims the string output.
    void Finish()
    {
        Flush();
        if (!m_sink)
            m_out.resize(Used());
    }

private:
    static constexpr std::size_t kChunk = 1 << 20;

    std::size_t Used() const noexcept { return static_cast<std::size_t>(m_p - m_out.data()); }
    std::uint64_t Offset() const noexcept { return m_written + Used(); }

    // Makes room for `n` more bytes: a sink gets what is buffered, a string
    // output grows.
    void Ensure(std::size_t n)
    {
        if (static_cast<std::size_t>(m_limit - m_p) >= n)
            return;
        std::size_t used = Used();
        if (m_sink) {
            Flush();
            used = 0;
            if (m_out.size() < n)
                m_out.resize(n);
        } else {
            m_out.resize(std::max(m_out.size() * 2, used + n));
        }
        m_p = m_out.data() + used;
        m_limit = m_out.data() + m_out.size();
    }
    void Flush()
    {
        if (m_sink && Used() != 0) {
            m_sink->Write(m_out.data(), Used());
            m_written += Used();
            m_p = m_out.data();
        }
    }

    // The unchecked writers below need Ensure first.
    void PutByte(std::uint8_t v) { *m_p++ = static_cast<char>(v); }
    void PutWord(std::uint16_t v)
    {
        m_p[0] = static_cast<char>(v);
        m_p[1] = static_cast<char>(v >> 8);
        m_p += 2;
    }
    void PutDword(std::uint32_t v)
    {
        m_p[0] = static_cast<char>(v);
        m_p[1] = static_cast<char>(v >> 8);
        m_p[2] = static_cast<char>(v >> 16);
        m_p[3] = static_cast<char>(v >> 24);
        m_p += 4;
    }
    void Word(std::uint16_t v)
    {
        Ensure(2);
        PutWord(v);
    }
    void Dword(std::uint32_t v)
    {
        Ensure(4);
        PutDword(v);
    }

    void Count(std::size_t n)
    {
        if (n < kCountEscape) {
            Word(static_cast<std::uint16_t>(n));
        } else {
            if (n > 0xFFFFFFFFu)
                throw ArchiveError(ArchiveFault::TooLarge, Offset(), "list of 2^32 entries or more");
            Ensure(6);
            PutWord(kCountEscape);
            PutDword(static_cast<std::uint32_t>(n));
        }
    }

    void Text(const CText& t)
    {
        std::size_t n = t.size();
        if (n < kByteLengthEscape) {
            Ensure(1 + n);
            PutByte(static_cast<std::uint8_t>(n));
            std::memcpy(m_p, t.data(), n);
            m_p += n;
            return;
        }
        // A DWORD of all ones announces a longer form that other readers of
        // this format understand differently, so it is refused too.
        if (n >= kDwordLengthEscape)
            throw ArchiveError(ArchiveFault::TooLarge, Offset(), "text of 4 GiB or more");
        Ensure(7);
        PutByte(kByteLengthEscape);
        if (n < kWideTextMarker) {
            PutWord(static_cast<std::uint16_t>(n));
        } else {
            PutWord(kWordLengthEscape);
            PutDword(static_cast<std::uint32_t>(n));
        }
        if (m_sink && n > kChunk) {
            // Big contents go straight to the sink instead of through the buffer.
            Flush();
            m_sink->Write(t.data(), n);
            m_written += n;
            return;
        }
        Ensure(n);
        std::memcpy(m_p, t.data(), n);
        m_p += n;
    }

    // Writes the class tag of `id` and gives the object its index.
    void Tag(ClassId id)
    {
        std::uint32_t& classIndex = m_classIndex[static_cast<int>(id)];
        if (classIndex == 0) {
            const char* name = ClassName(id);
            auto len = static_cast<std::uint16_t>(std::strlen(name));
            Ensure(6 + len);
            PutWord(kNewClassTag);
            PutWord(kSchema);
            PutWord(len);
            std::memcpy(m_p, name, len);
            m_p += len;
            classIndex = m_nextIndex++;
        } else if (classIndex <= kMaxWordClassIndex) {
            Word(static_cast<std::uint16_t>(kClassTagBit | classIndex));
        } else {
            Ensure(6);
            PutWord(kBigTag);
            PutDword(kBigClassTagBit | classIndex);
        }
        ++m_nextIndex;
    }

    void ItemFields(const CItem& item)
    {
        Text(item.m_strName);
        Text(item.m_strRemark);
    }

    void Datum(const CDatum& d)
    {
        ClassId id = d.GetClassId();
        Tag(id);
        ItemFields(d);
        Text(d.m_strContent);
        Text(d.m_strExtension);
        Ensure(8);
        PutDword(d.m_dwSize);
        PutDword(static_cast<std::uint32_t>(d.m_timeModified));
        if (id == ClassId::CustomDatum)
            Text(static_cast<const CCustomDatum&>(d).m_strFolder);
    }

    void CategoryHead(const CCategory& c)
    {
        Tag(c.GetClassId());
        ItemFields(c);
        Count(c.GetSubCategoryList().size());
    }

    std::string& m_out;
    IByteSink* m_sink;
    char* m_p;
    char* m_limit;
    std::uint64_t m_written = 0;
    std::uint32_t m_nextIndex = 1;
    std::array<std::uint32_t, kClassCount> m_classIndex {};
    std::optional<ConstCategoryWalk> m_walk;
    const CCategory* m_tail = nullptr; // whose data items are being written
    std::size_t m_nextDatum = 0;
    std::uint64_t m_entryNumber = 0;
    std::uint64_t m_tailNumber = 0; // the entry number of m_tail's first data item
};

} // namespace

ArchiveError::ArchiveError(ArchiveFault fault, std::uint64_t offset, const std::string& detail)
    : std::runtime_error(FaultMessage(fault, offset, detail))
    , m_fault(fault)
    , m_offset(offset)
{
}

namespace {

// Passes the bytes on and keeps their length and checksum for the block.
class ChecksumSink : public IByteSink {
public:
    explicit ChecksumSink(IByteSink& next)
        : m_next(next)
    {
    }
    void Write(const char* data, std::size_t size) override
    {
        m_sum.Update(data, size);
        m_size += size;
        m_next.Write(data, size);
    }
    std::uint64_t Size() const noexcept { return m_size; }
    std::uint64_t Digest() const noexcept { return m_sum.Digest(); }

private:
    IByteSink& m_next;
    Checksum64 m_sum;
    std::uint64_t m_size = 0;
};

void AppendBlock(std::string& out, std::uint64_t archiveLength, std::uint64_t archiveChecksum,
    const std::vector<ExtensionRecord>& records)
{
    try {
        AppendExtensionBlock(out, archiveLength, archiveChecksum, records);
    } catch (const std::length_error& e) {
        throw ArchiveError(ArchiveFault::TooLarge, archiveLength, e.what());
    }
}

} // namespace

void WriteLibrary(const std::vector<const CCategory*>& roots, std::string& out)
{
    const std::vector<ExtensionRecord> records = CollectRecords(roots);
    Writer(out, nullptr).Library(roots);
    if (!records.empty())
        AppendBlock(out, out.size(), Checksum64::Of(out), records);
}

void WriteLibrary(const std::vector<const CCategory*>& roots, IByteSink& sink)
{
    const std::vector<ExtensionRecord> records = CollectRecords(roots);
    std::string buffer;
    if (records.empty()) {
        Writer(buffer, &sink).Library(roots);
        return;
    }
    ChecksumSink summed(sink);
    Writer(buffer, &summed).Library(roots);
    std::string block;
    AppendBlock(block, summed.Size(), summed.Digest(), records);
    sink.Write(block.data(), block.size());
}

} // namespace tessary

namespace tessary {

struct CSlicedLibraryWriter::Impl {
    Impl(std::vector<const CCategory*> r, IByteSink& sink)
        : roots(std::move(r))
        , writer(buffer, &sink)
    {
        writer.Begin(roots);
    }
    std::vector<const CCategory*> roots;
    std::string buffer;
    Writer writer;
    std::vector<ExtensionRecord> records;
    bool done = false;
};

CSlicedLibraryWriter::CSlicedLibraryWriter(std::vector<const CCategory*> roots, IByteSink& sink)
    : m(std::make_unique<Impl>(std::move(roots), sink))
{
}

CSlicedLibraryWriter::~CSlicedLibraryWriter() = default;

bool CSlicedLibraryWriter::Step(std::size_t entries)
{
    if (m->done)
        return true;
    if (!m->writer.Steps(entries, &m->records))
        return false;
    m->writer.Finish();
    m->done = true;
    return true;
}

std::vector<ExtensionRecord>& CSlicedLibraryWriter::Records() noexcept
{
    return m->records;
}

} // namespace tessary
