#include "Json.h"

#include "DocumentText.h"

#include "Datum.h"
#include "EntryWalk.h"
#include "TextCodec.h"

#include <array>
#include <climits>
#include <cstdio>
#include <memory>
#include <optional>
#include <span>

namespace tessary::cli {

namespace {

// The UTF-8 form of a text of `owner`; a text that would not come back
// byte for byte is refused.
std::string ExactUtf8(std::string_view gb, const CItem& owner, const char* field)
{
    std::string utf8;
    if (!GbToUtf8Exact(gb, utf8))
        throw DataError("the " + std::string(field) + " of '" + GbToUtf8(owner.GetDisplayName())
            + "' is not valid GB18030 text, which JSON cannot hold exactly");
    return utf8;
}

void WriteString(Output& out, std::string_view utf8)
{
    out << '"';
    std::size_t start = 0;
    for (std::size_t i = 0; i < utf8.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(utf8[i]);
        if (c >= 0x20 && c != '"' && c != '\\')
            continue;
        out << utf8.substr(start, i - start);
        start = i + 1;
        switch (c) {
        case '"':
            out << "\\\"";
            break;
        case '\\':
            out << "\\\\";
            break;
        case '\n':
            out << "\\n";
            break;
        case '\r':
            out << "\\r";
            break;
        case '\t':
            out << "\\t";
            break;
        default: {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\u%04x", c);
            out << std::string_view(buf);
        }
        }
    }
    out << utf8.substr(start) << '"';
}

void WriteText(Output& out, const CText& text, const CItem& owner, const char* field)
{
    WriteString(out, ExactUtf8(text.view(), owner, field));
}

void WriteItem(Output& out, const CDatum& d)
{
    out << "{\"class\": \"" << std::string_view(ClassName(d.GetClassId())) << "\", \"name\": ";
    WriteText(out, d.m_strName, d, "name");
    out << ", \"remark\": ";
    WriteText(out, d.m_strRemark, d, "remark");
    out << ", \"content\": \"" << std::string_view(Base64Encode(d.m_strContent.view()))
        << "\", \"extension\": ";
    WriteText(out, d.m_strExtension, d, "extension");
    out << ", \"size\": " << static_cast<std::uint64_t>(d.m_dwSize)
        << ", \"time\": " << static_cast<std::int64_t>(d.m_timeModified);
    if (d.GetClassId() == ClassId::CustomDatum) {
        out << ", \"folder\": ";
        WriteText(out, static_cast<const CCustomDatum&>(d).m_strFolder, d, "folder");
    }
    if (!d.m_strText.empty()) {
        out << ", \"text\": ";
        WriteString(out, d.m_strText.view()); // UTF-8 already
    }
    out << '}';
}

// The volume record of an imported category, keys in the record's order.
void WriteVolume(Output& out, const VolumeRecord& v, const CItem& owner)
{
    auto text = [&](const char* key, const std::string& gb, bool first = false) {
        out << std::string_view(first ? "{\"" : ", \"") << std::string_view(key) << "\": ";
        WriteString(out, ExactUtf8(gb, owner, key));
    };
    text("uuid", v.uuid, true);
    text("label", v.label);
    text("fsType", v.fsType);
    out << ", \"capacity\": " << v.capacity << ", \"free\": " << v.freeBytes;
    text("mountPoint", v.mountPoint);
    text("pathInVolume", v.pathInVolume);
    out << ", \"scanTime\": " << static_cast<std::int64_t>(v.scanTime);
    text("host", v.host);
    out << '}';
}

// ---------------------------------------------------------------- reading

class Parser {
public:
    explicit Parser(std::string_view text)
        : m_s(text)
    {
    }

    RootList Parse()
    {
        RootList roots;
        Expect('{');
        bool sawRoots = false;
        if (!TryConsume('}')) {
            do {
                std::size_t at = Offset();
                std::string key = ParseString();
                Expect(':');
                if (key != "roots" || sawRoots)
                    Fail(at, key == "roots" ? "duplicate key \"roots\"" : "unknown key \"" + key + "\"");
                sawRoots = true;
                ParseCategoryArray(roots);
            } while (TryConsume(','));
            Expect('}');
        }
        if (!sawRoots)
            Fail(0, "the document has no \"roots\" list");
        SkipSpace();
        if (m_pos != m_s.size())
            Fail(m_pos, "unexpected data after the document");
        return roots;
    }

private:
    struct Pending {
        explicit Pending(std::size_t at)
            : offset(at)
        {
        }
        std::size_t offset;
        ClassId id = ClassId::Item;
        unsigned seen = 0; // bit per key, against duplicates
        CText name, remark, path;
        std::optional<VolumeRecord> volume;
        RootList subs;
        std::vector<std::unique_ptr<CDatum>> items;
        bool inSubs = false; // reading the "subcategories" list
        bool first = true; // no element (or key) read yet at this level
    };

    [[noreturn]] void Fail(std::size_t offset, const std::string& what) const
    {
        throw DataError(what + " at byte " + std::to_string(offset));
    }

    std::size_t Offset() noexcept
    {
        SkipSpace();
        return m_pos;
    }

    void SkipSpace() noexcept
    {
        while (m_pos < m_s.size()
            && (m_s[m_pos] == ' ' || m_s[m_pos] == '\n' || m_s[m_pos] == '\r' || m_s[m_pos] == '\t'))
            ++m_pos;
    }

    bool TryConsume(char c) noexcept
    {
        SkipSpace();
        if (m_pos < m_s.size() && m_s[m_pos] == c) {
            ++m_pos;
            return true;
        }
        return false;
    }

    void Expect(char c)
    {
        if (!TryConsume(c)) {
            if (m_pos >= m_s.size())
                Fail(m_pos, std::string("unexpected end of the document, expected '") + c + "'");
            Fail(m_pos, std::string("expected '") + c + "'");
        }
    }

    std::uint32_t ParseHex4()
    {
        if (m_s.size() - m_pos < 4)
            Fail(m_pos, "unexpected end of the document in a \\u escape");
        std::uint32_t v = 0;
        for (int i = 0; i < 4; ++i) {
            char c = m_s[m_pos++];
            v <<= 4;
            if (c >= '0' && c <= '9')
                v |= static_cast<std::uint32_t>(c - '0');
            else if (c >= 'a' && c <= 'f')
                v |= static_cast<std::uint32_t>(c - 'a' + 10);
            else if (c >= 'A' && c <= 'F')
                v |= static_cast<std::uint32_t>(c - 'A' + 10);
            else
                Fail(m_pos - 1, "bad \\u escape");
        }
        return v;
    }

    // A JSON string, returned as UTF-8.
    std::string ParseString()
    {
        SkipSpace();
        std::size_t start = m_pos;
        if (m_pos >= m_s.size() || m_s[m_pos] != '"')
            Fail(m_pos, "expected a string");
        ++m_pos;
        std::string out;
        while (true) {
            std::size_t run = m_pos;
            while (m_pos < m_s.size() && m_s[m_pos] != '"' && m_s[m_pos] != '\\'
                && static_cast<unsigned char>(m_s[m_pos]) >= 0x20)
                ++m_pos;
            out.append(m_s.substr(run, m_pos - run));
            if (m_pos >= m_s.size())
                Fail(start, "unterminated string");
            char c = m_s[m_pos++];
            if (c == '"')
                break;
            if (c != '\\')
                Fail(m_pos - 1, "control character in a string");
            if (m_pos >= m_s.size())
                Fail(start, "unterminated string");
            char e = m_s[m_pos++];
            switch (e) {
            case '"':
                out += '"';
                break;
            case '\\':
                out += '\\';
                break;
            case '/':
                out += '/';
                break;
            case 'b':
                out += '\b';
                break;
            case 'f':
                out += '\f';
                break;
            case 'n':
                out += '\n';
                break;
            case 'r':
                out += '\r';
                break;
            case 't':
                out += '\t';
                break;
            case 'u': {
                std::size_t at = m_pos - 2;
                std::uint32_t cp = ParseHex4();
                if (cp >= 0xD800 && cp < 0xDC00) {
                    if (m_s.substr(m_pos, 2) != "\\u")
                        Fail(at, "unpaired surrogate in a \\u escape");
                    m_pos += 2;
                    std::uint32_t low = ParseHex4();
                    if (low < 0xDC00 || low > 0xDFFF)
                        Fail(at, "unpaired surrogate in a \\u escape");
                    cp = 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00);
                } else if (cp >= 0xDC00 && cp < 0xE000) {
                    Fail(at, "unpaired surrogate in a \\u escape");
                }
                AppendUtf8(out, cp);
                break;
            }
            default:
                Fail(m_pos - 2, "bad escape in a string");
            }
        }
        if (!IsValidUtf8(out))
            Fail(start, "a string that is not valid UTF-8");
        return out;
    }

    CText ParseText()
    {
        std::size_t at = Offset();
        std::string utf8 = ParseString();
        std::string gb;
        if (!Utf8ToGbExact(utf8, gb))
            Fail(at, "a text that cannot be converted to GB18030");
        return CText(gb);
    }

    long long ParseInteger(long long lo, long long hi, const char* what)
    {
        std::size_t at = Offset();
        std::size_t p = m_pos;
        bool negative = p < m_s.size() && m_s[p] == '-';
        if (negative)
            ++p;
        std::size_t digits = p;
        while (p < m_s.size() && m_s[p] >= '0' && m_s[p] <= '9')
            ++p;
        if (p == digits || p - digits > 15
            || (p < m_s.size() && (m_s[p] == '.' || m_s[p] == 'e' || m_s[p] == 'E')))
            Fail(at, std::string("expected an integer ") + what);
        long long v = 0;
        for (std::size_t i = digits; i < p; ++i)
            v = v * 10 + (m_s[i] - '0');
        if (negative)
            v = -v;
        if (v < lo || v > hi)
            Fail(at, std::string(what) + " out of range");
        m_pos = p;
        return v;
    }

    // A whole number of up to 64 bits; `negative` allows a sign.
    std::uint64_t ParseWide(bool negative, const char* what)
    {
        std::size_t at = Offset();
        std::size_t p = m_pos;
        const bool minus = negative && p < m_s.size() && m_s[p] == '-';
        if (minus)
            ++p;
        std::size_t digits = p;
        std::uint64_t v = 0;
        for (; p < m_s.size() && m_s[p] >= '0' && m_s[p] <= '9'; ++p) {
            const auto d = static_cast<std::uint64_t>(m_s[p] - '0');
            if (v > (UINT64_MAX - d) / 10)
                Fail(at, std::string(what) + " out of range");
            v = v * 10 + d;
        }
        if (p == digits || (p < m_s.size() && (m_s[p] == '.' || m_s[p] == 'e' || m_s[p] == 'E')))
            Fail(at, std::string("expected an integer ") + what);
        if (negative && v > (minus ? 0x8000000000000000ULL : 0x7FFFFFFFFFFFFFFFULL))
            Fail(at, std::string(what) + " out of range");
        m_pos = p;
        return minus ? ~v + 1 : v;
    }

    std::string ParseGbText()
    {
        CText t = ParseText();
        return t.str();
    }

    VolumeRecord ParseVolume()
    {
        Expect('{');
        VolumeRecord v;
        unsigned seen = 0;
        if (TryConsume('}'))
            return v;
        do {
            std::size_t at = Offset();
            std::string key = ParseString();
            Expect(':');
            static constexpr const char* kKeys[] = { "uuid", "label", "fsType", "capacity", "free",
                "mountPoint", "pathInVolume", "scanTime", "host" };
            unsigned bit = 0;
            while (bit < std::size(kKeys) && key != kKeys[bit])
                ++bit;
            if (bit == std::size(kKeys))
                Fail(at, "unknown key \"" + key + "\" in a volume");
            Seen(seen, 1u << bit, at, key);
            switch (bit) {
            case 0:
                v.uuid = ParseGbText();
                break;
            case 1:
                v.label = ParseGbText();
                break;
            case 2:
                v.fsType = ParseGbText();
                break;
            case 3:
                v.capacity = ParseWide(false, "capacity");
                break;
            case 4:
                v.freeBytes = ParseWide(false, "free");
                break;
            case 5:
                v.mountPoint = ParseGbText();
                break;
            case 6:
                v.pathInVolume = ParseGbText();
                break;
            case 7:
                v.scanTime = static_cast<std::int64_t>(ParseWide(true, "scanTime"));
                break;
            default:
                v.host = ParseGbText();
                break;
            }
        } while (TryConsume(','));
        Expect('}');
        return v;
    }

    ClassId ParseClass(bool category)
    {
        std::size_t at = Offset();
        std::string name = ParseString();
        std::optional<ClassId> known = ClassFromName(name);
        if (!known)
            Fail(at, "unknown class \"" + name + "\"");
        const ClassId id = *known;
        if (category ? !IsCategoryClass(id) : !IsDatumClass(id))
            Fail(at,
                "class \"" + name
                    + (category ? "\" where a category belongs" : "\" where a data item belongs"));
        return id;
    }

    void Seen(unsigned& seen, unsigned bit, std::size_t at, const std::string& key)
    {
        if (seen & bit)
            Fail(at, "duplicate key \"" + key + "\"");
        seen |= bit;
    }

    std::unique_ptr<CDatum> ParseItem()
    {
        std::size_t start = Offset();
        Expect('{');
        unsigned seen = 0;
        ClassId id = ClassId::Item;
        CText name, remark, content, extension, folder, text;
        Size32 size = 0;
        Time32 time = 0;
        if (!TryConsume('}')) {
            do {
                std::size_t at = Offset();
                std::string key = ParseString();
                Expect(':');
                if (key == "class") {
                    Seen(seen, 1, at, key);
                    id = ParseClass(false);
                } else if (key == "name") {
                    Seen(seen, 2, at, key);
                    name = ParseText();
                } else if (key == "remark") {
                    Seen(seen, 4, at, key);
                    remark = ParseText();
                } else if (key == "content") {
                    Seen(seen, 8, at, key);
                    std::size_t c = Offset();
                    std::string b64 = ParseString();
                    std::string bytes;
                    if (!Base64Decode(b64, bytes))
                        Fail(c, "bad base64 in \"content\"");
                    content = bytes;
                } else if (key == "extension") {
                    Seen(seen, 16, at, key);
                    extension = ParseText();
                } else if (key == "size") {
                    Seen(seen, 32, at, key);
                    size = static_cast<Size32>(ParseInteger(0, 0xFFFFFFFFLL, "size"));
                } else if (key == "time") {
                    Seen(seen, 64, at, key);
                    time = static_cast<Time32>(ParseInteger(INT32_MIN, INT32_MAX, "time"));
                } else if (key == "folder") {
                    Seen(seen, 128, at, key);
                    folder = ParseText();
                } else if (key == "text") {
                    Seen(seen, 256, at, key);
                    // Kept as extraction keeps a document's text: valid
                    // UTF-8 without control characters.
                    std::string clean;
                    AppendCleanUtf8(clean, ParseString(), CText::kMaxLength);
                    text = clean;
                } else {
                    Fail(at, "unknown key \"" + key + "\" in a data item");
                }
            } while (TryConsume(','));
            Expect('}');
        }
        if (!(seen & 1))
            Fail(start, "a data item without \"class\"");
        if ((seen & 128) && id != ClassId::CustomDatum)
            Fail(start, "\"folder\" in a data item that is not a CCustomDatum");
        std::unique_ptr<CDatum> d(static_cast<CDatum*>(CreateEntry(id)));
        d->m_strName = std::move(name);
        d->m_strRemark = std::move(remark);
        d->m_strContent = std::move(content);
        d->m_strExtension = std::move(extension);
        d->m_dwSize = size;
        d->m_timeModified = time;
        d->m_strText = std::move(text);
        if (id == ClassId::CustomDatum)
            static_cast<CCustomDatum&>(*d).m_strFolder = std::move(folder);
        return d;
    }

    void ParseItemArray(std::vector<std::unique_ptr<CDatum>>& items)
    {
        Expect('[');
        if (TryConsume(']'))
            return;
        do
            items.push_back(ParseItem());
        while (TryConsume(','));
        Expect(']');
    }

    std::unique_ptr<CCategory> Finish(Pending& p)
    {
        if (!(p.seen & 1))
            Fail(p.offset, "a category without \"class\"");
        if ((p.seen & 32) && !HasPath(p.id))
            Fail(p.offset, std::string("\"path\" in a category of class ") + ClassName(p.id));
        if ((p.seen & 64) && !HasPath(p.id))
            Fail(p.offset, std::string("\"volume\" in a category of class ") + ClassName(p.id));
        std::unique_ptr<CCategory> c(static_cast<CCategory*>(CreateEntry(p.id)));
        c->m_strName = std::move(p.name);
        c->m_strRemark = std::move(p.remark);
        if (HasPath(p.id)) {
            static_cast<CPathCategory&>(*c).m_strPath = std::move(p.path);
            static_cast<CPathCategory&>(*c).SetVolume(p.volume);
        }
        for (auto& sub : p.subs)
            c->AddSubCategory(sub.release());
        // AddDatum puts each item at the head: add them last one first.
        for (auto it = p.items.rbegin(); it != p.items.rend(); ++it)
            c->AddDatum(it->release());
        return c;
    }

    // A list of categories with their subtrees, read with an explicit stack
    // so that deep nesting cannot overflow the call stack. The tree is built
    // in the order the text comes, so this loop follows the document rather
    // than walking a tree that exists.
    void ParseCategoryArray(RootList& out)
    {
        Expect('[');
        if (TryConsume(']'))
            return;
        std::vector<Pending> stack;
        bool firstRoot = true;
        while (true) {
            if (stack.empty()) {
                if (!firstRoot && !TryConsume(',')) {
                    Expect(']');
                    return;
                }
                firstRoot = false;
                stack.emplace_back(Offset());
                Expect('{');
                continue;
            }
            Pending& p = stack.back();
            if (p.inSubs) {
                if (p.first ? TryConsume(']') : !TryConsume(',')) {
                    if (!p.first)
                        Expect(']');
                    p.inSubs = false;
                    p.first = false;
                    continue;
                }
                p.first = false;
                std::size_t at = Offset();
                stack.emplace_back(at);
                Expect('{');
                continue;
            }
            // Inside the category's object: the next key, or its end.
            if (p.first ? TryConsume('}') : !TryConsume(',')) {
                if (!p.first)
                    Expect('}');
                std::unique_ptr<CCategory> done = Finish(p);
                stack.pop_back();
                if (stack.empty())
                    out.push_back(std::move(done));
                else
                    stack.back().subs.push_back(std::move(done));
                continue;
            }
            p.first = false;
            std::size_t at = Offset();
            std::string key = ParseString();
            Expect(':');
            if (key == "class") {
                Seen(p.seen, 1, at, key);
                p.id = ParseClass(true);
            } else if (key == "name") {
                Seen(p.seen, 2, at, key);
                p.name = ParseText();
            } else if (key == "remark") {
                Seen(p.seen, 4, at, key);
                p.remark = ParseText();
            } else if (key == "subcategories") {
                Seen(p.seen, 8, at, key);
                Expect('[');
                p.inSubs = true;
                p.first = true;
            } else if (key == "items") {
                Seen(p.seen, 16, at, key);
                ParseItemArray(p.items);
            } else if (key == "path") {
                Seen(p.seen, 32, at, key);
                p.path = ParseText();
            } else if (key == "volume") {
                Seen(p.seen, 64, at, key);
                p.volume = ParseVolume();
            } else {
                Fail(at, "unknown key \"" + key + "\" in a category");
            }
        }
    }

    std::string_view m_s;
    std::size_t m_pos = 0;
};

constexpr char kBase64[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

} // namespace

std::string Base64Encode(std::string_view bytes)
{
    std::string out;
    out.reserve((bytes.size() + 2) / 3 * 4);
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    std::size_t n = bytes.size(), i = 0;
    for (; i + 3 <= n; i += 3) {
        std::uint32_t v = (p[i] << 16) | (p[i + 1] << 8) | p[i + 2];
        out += kBase64[v >> 18];
        out += kBase64[(v >> 12) & 63];
        out += kBase64[(v >> 6) & 63];
        out += kBase64[v & 63];
    }
    if (n - i == 1) {
        std::uint32_t v = p[i] << 16;
        out += kBase64[v >> 18];
        out += kBase64[(v >> 12) & 63];
        out += "==";
    } else if (n - i == 2) {
        std::uint32_t v = (p[i] << 16) | (p[i + 1] << 8);
        out += kBase64[v >> 18];
        out += kBase64[(v >> 12) & 63];
        out += kBase64[(v >> 6) & 63];
        out += '=';
    }
    return out;
}

bool Base64Decode(std::string_view text, std::string& bytes)
{
    static const auto table = [] {
        std::array<signed char, 256> t {};
        t.fill(-1);
        for (int i = 0; i < 64; ++i)
            t[static_cast<unsigned char>(kBase64[i])] = static_cast<signed char>(i);
        return t;
    }();
    bytes.clear();
    if (text.size() % 4 != 0)
        return false;
    bytes.reserve(text.size() / 4 * 3);
    for (std::size_t i = 0; i < text.size(); i += 4) {
        const bool last = i + 4 == text.size();
        int pad = 0;
        if (last) {
            pad = (text[i + 3] == '=') + (text[i + 3] == '=' && text[i + 2] == '=');
        }
        std::uint32_t v = 0;
        for (int k = 0; k < 4 - pad; ++k) {
            signed char d = table[static_cast<unsigned char>(text[i + k])];
            if (d < 0)
                return false;
            v |= static_cast<std::uint32_t>(d) << (18 - 6 * k);
        }
        bytes += static_cast<char>(v >> 16);
        if (pad < 2)
            bytes += static_cast<char>((v >> 8) & 0xFF);
        if (pad < 1)
            bytes += static_cast<char>(v & 0xFF);
        // Bits below the last encoded byte must be zero (canonical form).
        if ((pad == 1 && (v & 0xFF)) || (pad == 2 && (v & 0xFFFF)))
            return false;
    }
    return true;
}

void WriteJson(const CategoryList& roots, Output& out)
{
    out << "{\"roots\": [";
    ConstCategoryWalk walk { std::span<const CCategory* const>(roots.begin(), roots.size()) };
    while (walk.Next()) {
        const CCategory& c = walk.Current();
        if (walk.Entering()) {
            if (walk.Index() != 0)
                out << ", ";
            out << "{\"class\": \"" << std::string_view(ClassName(c.GetClassId())) << "\", \"name\": ";
            WriteText(out, c.m_strName, c, "name");
            out << ", \"remark\": ";
            WriteText(out, c.m_strRemark, c, "remark");
            out << ", \"subcategories\": [";
            continue;
        }
        out << "], \"items\": [";
        bool first = true;
        for (const CDatum* d : c.GetDatumList()) {
            if (!first)
                out << ", ";
            first = false;
            WriteItem(out, *d);
        }
        out << ']';
        if (HasPath(c.GetClassId())) {
            const auto& imported = static_cast<const CPathCategory&>(c);
            out << ", \"path\": ";
            WriteText(out, imported.m_strPath, c, "path");
            if (const VolumeRecord* volume = imported.GetVolume()) {
                out << ", \"volume\": ";
                WriteVolume(out, *volume, c);
            }
        }
        out << '}';
    }
    out << "]}\n";
}

void WriteJsonString(Output& out, std::string_view utf8)
{
    WriteString(out, utf8);
}

RootList ReadJson(std::string_view json)
{
    return Parser(json).Parse();
}

} // namespace tessary::cli
