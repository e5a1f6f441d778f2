#include "Archive.h"

#include "ArchiveFormat.h"
#include "Datum.h"
#include "TextCodec.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <utility>

namespace tessary {

using namespace format;

const char* ArchiveFaultText(ArchiveFault fault) noexcept
{
    switch (fault) {
    case ArchiveFault::EndOfFile: return "unexpected end of file";
    case ArchiveFault::BadClass: return "unknown class name";
    case ArchiveFault::BadSchema: return "unsupported class schema";
    case ArchiveFault::BadIndex: return "reference to an undefined class";
    case ArchiveFault::NullTag: return "null object tag";
    case ArchiveFault::ObjectReference: return "reference to an earlier object";
    case ArchiveFault::WrongKind: return "entry of the wrong kind for its list";
    case ArchiveFault::TooLarge: return "text or list too large for the library format";
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
    Writer(std::string& out, IByteSink* sink) : m_out(out), m_sink(sink) {}

    void Library(const std::vector<const CCategory*>& roots)
    {
        Count(roots.size());
        for (const CCategory* root : roots)
            CategoryTree(*root);
        Flush();
    }

private:
    static constexpr std::size_t kChunk = 1 << 20;

    void Bytes(const void* p, std::size_t n)
    {
        m_out.append(static_cast<const char*>(p), n);
        if (m_sink && m_out.size() >= kChunk)
            Flush();
    }
    void Word(std::uint16_t v)
    {
        unsigned char b[2] = {static_cast<unsigned char>(v), static_cast<unsigned char>(v >> 8)};
        Bytes(b, 2);
    }
    void Dword(std::uint32_t v)
    {
        unsigned char b[4] = {static_cast<unsigned char>(v), static_cast<unsigned char>(v >> 8),
                              static_cast<unsigned char>(v >> 16), static_cast<unsigned char>(v >> 24)};
        Bytes(b, 4);
    }
    void Flush()
    {
        if (m_sink && !m_out.empty()) {
            m_sink->Write(m_out.data(), m_out.size());
            m_written += m_out.size();
            m_out.clear();
        }
    }

    void Count(std::size_t n)
    {
        if (n < kCountEscape) {
            Word(static_cast<std::uint16_t>(n));
        } else {
            if (n > 0xFFFFFFFFu)
                throw ArchiveError(ArchiveFault::TooLarge, m_written + m_out.size(), "list of 2^32 entries or more");
            Word(kCountEscape);
            Dword(static_cast<std::uint32_t>(n));
        }
    }

    void Text(const CText& t)
    {
        std::size_t n = t.size();
        if (n < kByteLengthEscape) {
            unsigned char b = static_cast<unsigned char>(n);
            Bytes(&b, 1);
        } else if (n < kWideTextMarker) {
            unsigned char b = kByteLengthEscape;
            Bytes(&b, 1);
            Word(static_cast<std::uint16_t>(n));
        } else {
            // A DWORD of all ones announces a longer form that other readers
            // of this format understand differently, so it is refused too.
            if (n >= kDwordLengthEscape)
                throw ArchiveError(ArchiveFault::TooLarge, m_written + m_out.size(), "text of 4 GiB or more");
            unsigned char b = kByteLengthEscape;
            Bytes(&b, 1);
            Word(kWordLengthEscape);
            Dword(static_cast<std::uint32_t>(n));
        }
        if (n)
            Bytes(t.data(), n);
    }

    // Writes the class tag of `id` and gives the object its index.
    void Tag(ClassId id)
    {
        std::uint32_t& classIndex = m_classIndex[static_cast<int>(id)];
        if (classIndex == 0) {
            const char* name = ClassName(id);
            auto len = static_cast<std::uint16_t>(std::strlen(name));
            Word(kNewClassTag);
            Word(kSchema);
            Word(len);
            Bytes(name, len);
            classIndex = m_nextIndex++;
        } else if (classIndex <= kMaxWordClassIndex) {
            Word(static_cast<std::uint16_t>(kClassTagBit | classIndex));
        } else {
            Word(kBigTag);
            Dword(kBigClassTagBit | classIndex);
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
        Dword(d.m_dwSize);
        Dword(static_cast<std::uint32_t>(d.m_timeModified));
        if (id == ClassId::CustomDatum)
            Text(static_cast<const CCustomDatum&>(d).m_strFolder);
    }

    void CategoryHead(const CCategory& c)
    {
        Tag(c.GetClassId());
        ItemFields(c);
        Count(c.GetSubCategoryList().size());
    }

    void CategoryTail(const CCategory& c)
    {
        const DatumList& data = c.GetDatumList();
        Count(data.size());
        for (const CDatum* d : data)
            Datum(*d);
        if (HasPath(c.GetClassId()))
            Text(static_cast<const CPathCategory&>(c).m_strPath);
    }

    // Pre-order, without recursion: each frame remembers the next
    // sub-category to write.
    void CategoryTree(const CCategory& root)
    {
        m_stack.clear();
        CategoryHead(root);
        m_stack.push_back({&root, 0});
        while (!m_stack.empty()) {
            StackFrame& f = m_stack.back();
            const CategoryList& subs = f.category->GetSubCategoryList();
            if (f.next < subs.size()) {
                const CCategory* sub = subs[f.next++];
                CategoryHead(*sub);
                m_stack.push_back({sub, 0});
            } else {
                CategoryTail(*f.category);
                m_stack.pop_back();
            }
        }
    }

    std::string& m_out;
    IByteSink* m_sink;
    std::uint64_t m_written = 0;
    std::uint32_t m_nextIndex = 1;
    std::array<std::uint32_t, kClassCount> m_classIndex{};
    struct StackFrame {
        const CCategory* category;
        std::size_t next;
    };
    std::vector<StackFrame> m_stack;
};

} // namespace

ArchiveError::ArchiveError(ArchiveFault fault, std::uint64_t offset, const std::string& detail)
    : std::runtime_error(FaultMessage(fault, offset, detail)), m_fault(fault), m_offset(offset)
{
}

void WriteLibrary(const std::vector<const CCategory*>& roots, std::string& out)
{
    out.clear();
    Writer(out, nullptr).Library(roots);
}

void WriteLibrary(const std::vector<const CCategory*>& roots, IByteSink& sink)
{
    std::string buffer;
    buffer.reserve(1 << 20);
    Writer(buffer, &sink).Library(roots);
}

} // namespace tessary
