#include "Archive.h"

#include "ArchiveFormat.h"
#include "Datum.h"
#include "TextCodec.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <optional>
#include <span>
#include <utility>

namespace tessary {

using namespace format;

namespace {

// Reads a library from memory. Every byte is treated as hostile: each read
// is bounds-checked, no count reserves more than the remaining bytes can
// hold, and the tree is walked with an explicit stack.
//
// Entries are linked into their parent (or the result list) as soon as they
// are created, so when a fault throws, destroying the result list destroys
// everything read so far.
//
// The bytes are either all in memory, or come from a source through a
// window that is refilled when a read runs past its end (the only place
// that knows about sources is the slow path of Need, and Bytes for texts).
constexpr std::uint64_t kMinReadWindow = 4096;

class Reader {
public:
    explicit Reader(std::string_view data)
        : m_begin(reinterpret_cast<const unsigned char*>(data.data()))
        , m_p(m_begin)
        , m_end(m_p + data.size())
    {
    }
    explicit Reader(IByteSource& source)
        : m_source(&source)
        // A small source needs no more than its own size (every read needs
        // a few hundred bytes at most, texts aside).
        , m_window(static_cast<std::size_t>(
              std::clamp<std::uint64_t>(source.Remaining(), kMinReadWindow, kReadWindow)))
    {
        m_begin = m_p = m_end = m_window.data();
    }

    RootList Library()
    {
        RootList roots;
        std::uint32_t count = Count();
        roots.reserve(std::min<std::size_t>(count, Available() / kMinCategoryBytes));
        for (std::uint32_t i = 0; i < count; ++i) {
            auto* c = static_cast<CCategory*>(NewEntry(TagOfKind(IsCategoryClass, "the root list")));
            roots.emplace_back(c);
            CategoryTree(c);
        }
        return roots;
    }

    // Where reading stopped: after the last root once Library has returned.
    std::uint64_t End() const noexcept { return Offset(); }

    // Entries to hand out as they are made: `found[i]` becomes the entry
    // numbered `wanted[i]` (numbers in file order, ascending).
    void Collect(std::span<const std::uint32_t> wanted, std::vector<CItem*>& found)
    {
        m_wanted = wanted;
        m_found = &found;
        found.assign(wanted.size(), nullptr);
    }

    // The bytes at hand past where reading stopped.
    void Rest(std::string& out) const { out.assign(reinterpret_cast<const char*>(m_p), Remaining()); }

private:
    [[noreturn]] void Fail(ArchiveFault fault, std::uint64_t offset, const std::string& detail = {})
    {
        throw ArchiveError(fault, offset, detail);
    }
    std::uint64_t Offset() const noexcept { return m_base + static_cast<std::uint64_t>(m_p - m_begin); }
    // Bytes at hand in memory.
    std::size_t Remaining() const noexcept { return static_cast<std::size_t>(m_end - m_p); }
    // Bytes still to come in all, as far as known: bounds what counts reserve.
    std::size_t Available() const noexcept
    {
        const std::uint64_t more = m_source ? m_source->Remaining() : 0;
        return static_cast<std::size_t>(std::min<std::uint64_t>(Remaining() + more, SIZE_MAX));
    }
    void Need(std::size_t n)
    {
        if (Remaining() < n)
            Refill(n);
    }
    // Makes `n` bytes (at most a window) available from the source, keeping
    // those not read yet.
    void Refill(std::size_t n)
    {
        if (!m_source || n > m_window.size())
            Fail(ArchiveFault::EndOfFile, Offset());
        const std::size_t kept = Remaining();
        std::memmove(m_window.data(), m_p, kept);
        m_base = Offset();
        m_begin = m_p = m_window.data();
        m_end = m_p + kept;
        while (Remaining() < n) {
            const std::size_t got = m_source->Read(
                reinterpret_cast<char*>(const_cast<unsigned char*>(m_end)), m_window.size() - Remaining());
            if (got == 0)
                Fail(ArchiveFault::EndOfFile, Offset());
            m_end += got;
        }
    }
    // Copies the next `n` bytes to `dst`: those at hand, then (when there
    // are more) straight from the source. The caller has checked that `n`
    // is no more than Available().
    void Bytes(void* dst, std::size_t n)
    {
        auto* out = static_cast<unsigned char*>(dst);
        const std::size_t here = std::min(n, Remaining());
        std::memcpy(out, m_p, here);
        m_p += here;
        for (std::size_t done = here; done < n;) {
            if (n - done < m_window.size() / 2) { // the last piece of a long text: through the window
                Need(n - done);
                std::memcpy(out + done, m_p, n - done);
                m_p += n - done;
                break;
            }
            const std::size_t got = m_source->Read(reinterpret_cast<char*>(out + done), n - done);
            if (got == 0)
                Fail(ArchiveFault::EndOfFile, Offset());
            done += got;
            m_base += got;
        }
    }

    std::uint8_t Byte()
    {
        Need(1);
        return *m_p++;
    }
    std::uint16_t Word()
    {
        Need(2);
        std::uint16_t v = std::uint16_t(m_p[0] | (m_p[1] << 8));
        m_p += 2;
        return v;
    }
    std::uint32_t Dword()
    {
        Need(4);
        std::uint32_t v = std::uint32_t(m_p[0]) | (std::uint32_t(m_p[1]) << 8) | (std::uint32_t(m_p[2]) << 16)
            | (std::uint32_t(m_p[3]) << 24);
        m_p += 4;
        return v;
    }

    std::uint32_t Count()
    {
        std::uint16_t w = Word();
        return w != kCountEscape ? w : Dword();
    }

    // A text length in the byte / WORD / DWORD forms (and the 64-bit form
    // that follows a DWORD of all ones). Sets `wide` when the UTF-16 marker
    // precedes it.
    std::uint64_t TextLength(bool& wide)
    {
        wide = false;
        std::uint8_t b = Byte();
        if (b < kByteLengthEscape)
            return b;
        std::uint16_t w = Word();
        if (w == kWideTextMarker) {
            wide = true;
            b = Byte();
            if (b < kByteLengthEscape)
                return b;
            w = Word();
        }
        if (w < kWordLengthEscape)
            return w;
        std::uint32_t d = Dword();
        if (d < kDwordLengthEscape)
            return d;
        Need(8);
        std::uint64_t q = 0;
        for (int i = 7; i >= 0; --i)
            q = (q << 8) | m_p[i];
        m_p += 8;
        return q;
    }

    void Text(CText& t)
    {
        std::uint64_t at = Offset();
        bool wide;
        std::uint64_t n = TextLength(wide);
        if (!wide) {
            if (n > Available())
                Fail(ArchiveFault::EndOfFile, at, "text of " + std::to_string(n) + " bytes");
            if (n == 0) {
                t.Clear();
                return;
            }
            if (n <= Remaining()) {
                const unsigned char* src = m_p;
                t.AssignWith(static_cast<std::size_t>(n), [&](char* dst) { std::memcpy(dst, src, n); });
                m_p += n;
            } else {
                t.AssignWith(static_cast<std::size_t>(n), [&](char* dst) { Bytes(dst, n); });
            }
            return;
        }
        if (n > Available() / 2)
            Fail(ArchiveFault::EndOfFile, at, "wide text of " + std::to_string(n) + " characters");
        std::string bytes(static_cast<std::size_t>(2 * n), '\0');
        Bytes(bytes.data(), bytes.size());
        const auto* b = reinterpret_cast<const unsigned char*>(bytes.data());
        std::u16string units(static_cast<std::size_t>(n), u'\0');
        for (std::size_t i = 0; i < n; ++i)
            units[i] = char16_t(b[2 * i] | (b[2 * i + 1] << 8));
        std::string gb = Utf16ToGb(units);
        if (gb.size() > CText::kMaxLength)
            Fail(ArchiveFault::TooLarge, at);
        t.Assign(gb.data(), gb.size());
    }

    // Reads a class tag, registers a new class when it announces one, gives
    // the object its index and answers its class.
    ClassId Tag()
    {
        std::uint64_t at = Offset();
        std::uint16_t w = Word();
        std::uint32_t classIndex;
        if (w == kNewClassTag) {
            std::uint16_t schema = Word();
            std::uint16_t len = Word();
            if (len > kMaxClassNameLength)
                Fail(ArchiveFault::BadClass, at, "class name of " + std::to_string(len) + " bytes");
            Need(len);
            std::string_view name(reinterpret_cast<const char*>(m_p), len);
            m_p += len;
            std::optional<ClassId> known = ClassFromName(name);
            if (!known)
                Fail(ArchiveFault::BadClass, at, "\"" + PrintableName(name) + "\"");
            ClassId id = *known;
            if (schema != kSchema)
                Fail(ArchiveFault::BadSchema, at,
                    std::string(ClassName(id)) + " with schema " + std::to_string(schema));
            m_classes.push_back({ m_nextIndex++, id });
            ++m_nextIndex;
            return id;
        }
        if (w == kNullTag)
            Fail(ArchiveFault::NullTag, at);
        if (w == kBigTag) {
            std::uint32_t d = Dword();
            if (!(d & kBigClassTagBit))
                Fail(ArchiveFault::ObjectReference, at, "object " + std::to_string(d));
            classIndex = d & ~kBigClassTagBit;
        } else if (!(w & kClassTagBit)) {
            Fail(ArchiveFault::ObjectReference, at, "object " + std::to_string(w));
        } else {
            classIndex = w & ~kClassTagBit;
        }
        // Indexes grow as they are handed out, so the table is sorted.
        auto it = std::lower_bound(m_classes.begin(), m_classes.end(), classIndex,
            [](const ClassEntry& e, std::uint32_t i) { return e.index < i; });
        if (it == m_classes.end() || it->index != classIndex)
            Fail(ArchiveFault::BadIndex, at, "index " + std::to_string(classIndex));
        ++m_nextIndex;
        return it->id;
    }

    // Makes the entry the next object of the file is (its tag has been read).
    CItem* NewEntry(ClassId id)
    {
        CItem* entry = CreateEntry(id);
        if (m_nextWanted < m_wanted.size() && m_wanted[m_nextWanted] == m_entries)
            (*m_found)[m_nextWanted++] = entry;
        ++m_entries;
        return entry;
    }

    // Reads an object's class tag (see Tag) and checks that the class fits
    // the list being read, which `list` names for the message.
    ClassId TagOfKind(bool (*fits)(ClassId) noexcept, const char* list)
    {
        std::uint64_t at = Offset();
        ClassId id = Tag();
        if (!fits(id))
            Fail(ArchiveFault::WrongKind, at, std::string(ClassName(id)) + " in " + list);
        return id;
    }

    static std::string PrintableName(std::string_view name)
    {
        std::string s;
        for (char c : name)
            s += (c >= 0x20 && c < 0x7F) ? c : '?';
        return s;
    }

    void ItemFields(CItem& item)
    {
        Text(item.m_strName);
        Text(item.m_strRemark);
    }

    void DatumFields(CDatum& d, ClassId id)
    {
        ItemFields(d);
        Text(d.m_strContent);
        Text(d.m_strExtension);
        d.m_dwSize = Dword();
        d.m_timeModified = static_cast<Time32>(Dword());
        if (id == ClassId::CustomDatum)
            Text(static_cast<CCustomDatum&>(d).m_strFolder);
    }

    // Reads the fields of `root` (whose tag has been read) and its subtree.
    // The tree is built in the order the bytes come, so this loop follows the
    // file rather than walking a tree that exists: it keeps its own stack of
    // the categories whose sub-categories are still to be read.
    void CategoryTree(CCategory* root)
    {
        m_stack.clear();
        CategoryHead(root);
        while (!m_stack.empty()) {
            Frame& f = m_stack.back();
            if (f.subsLeft > 0) {
                --f.subsLeft;
                CCategory* parent = f.category;
                auto* sub
                    = static_cast<CCategory*>(NewEntry(TagOfKind(IsCategoryClass, "a sub-category list")));
                parent->GetSubCategoryList().PushBack(sub);
                sub->SetParent(parent);
                CategoryHead(sub); // may reallocate m_stack: `f` is not used after this
            } else {
                CCategory* c = f.category;
                m_stack.pop_back();
                CategoryTail(c);
            }
        }
    }

    void CategoryHead(CCategory* c)
    {
        ItemFields(*c);
        std::uint32_t subs = Count();
        c->GetSubCategoryList().ReserveBack(std::min<std::size_t>(subs, Available() / kMinCategoryBytes));
        m_stack.push_back({ c, subs });
    }

    void CategoryTail(CCategory* c)
    {
        std::uint32_t count = Count();
        DatumList& data = c->GetDatumList();
        data.ReserveBack(std::min<std::size_t>(count, Available() / kMinDatumBytes));
        for (std::uint32_t i = 0; i < count; ++i) {
            ClassId id = TagOfKind(IsDatumClass, "a data-item list");
            auto* d = static_cast<CDatum*>(NewEntry(id));
            data.PushBack(d);
            d->SetParent(c);
            DatumFields(*d, id);
        }
        if (HasPath(c->GetClassId()))
            Text(static_cast<CPathCategory*>(c)->m_strPath);
    }

    struct ClassEntry {
        std::uint32_t index;
        ClassId id;
    };
    struct Frame {
        CCategory* category;
        std::uint32_t subsLeft;
    };

    IByteSource* m_source = nullptr;
    std::vector<unsigned char> m_window;
    std::uint64_t m_base = 0; // the offset of m_begin
    const unsigned char* m_begin;
    const unsigned char* m_p;
    const unsigned char* m_end;
    std::uint32_t m_nextIndex = 1;
    std::vector<ClassEntry> m_classes;
    std::vector<Frame> m_stack;
    std::uint32_t m_entries = 0; // entries made so far
    std::span<const std::uint32_t> m_wanted;
    std::vector<CItem*>* m_found = nullptr;
    std::size_t m_nextWanted = 0;
};

} // namespace

RootList ReadLibraryRoots(std::string_view data, std::size_t& rootsEnd, std::span<const std::uint32_t> wanted,
    std::vector<CItem*>* found)
{
    Reader reader(data);
    if (found)
        reader.Collect(wanted, *found);
    RootList roots = reader.Library();
    rootsEnd = static_cast<std::size_t>(reader.End());
    return roots;
}

RootList ReadLibrary(IByteSource& source, std::string* after, std::span<const std::uint32_t> wanted,
    std::vector<CItem*>* found)
{
    Reader reader(source);
    if (found)
        reader.Collect(wanted, *found);
    RootList roots = reader.Library();
    if (after)
        reader.Rest(*after);
    return roots;
}

} // namespace tessary
