#include "TextCodec.h"

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <iconv.h>
#include <stdexcept>

namespace tessary {

namespace {

constexpr char32_t kEscapeBase = 0xF700; // stray byte b <-> U+F700 + b (b >= 0x80)
constexpr char32_t kReplacement = 0xFFFD;

// Length of the well-formed UTF-8 sequence at s[i], or 0 when the byte there
// does not start one. Overlong forms, surrogates and values above U+10FFFF
// are not well-formed.
std::size_t Utf8SequenceAt(std::string_view s, std::size_t i, char32_t& cp) noexcept
{
    auto b = [&](std::size_t k) { return static_cast<unsigned char>(s[i + k]); };
    unsigned char c = b(0);
    std::size_t n;
    char32_t min;
    if (c < 0x80) {
        cp = c;
        return 1;
    } else if ((c & 0xE0) == 0xC0) {
        n = 2, cp = c & 0x1F, min = 0x80;
    } else if ((c & 0xF0) == 0xE0) {
        n = 3, cp = c & 0x0F, min = 0x800;
    } else if ((c & 0xF8) == 0xF0) {
        n = 4, cp = c & 0x07, min = 0x10000;
    } else {
        return 0;
    }
    if (i + n > s.size())
        return 0;
    for (std::size_t k = 1; k < n; ++k) {
        if ((b(k) & 0xC0) != 0x80)
            return 0;
        cp = (cp << 6) | (b(k) & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
        return 0;
    return n;
}

// One iconv descriptor per direction and thread, opened on first use.
class Converter {
public:
    Converter(const char* to, const char* from)
        : m_cd(iconv_open(to, from))
    {
        if (m_cd == reinterpret_cast<iconv_t>(-1))
            throw std::runtime_error(std::string("iconv cannot convert from ") + from + " to " + to);
    }
    ~Converter() { iconv_close(m_cd); }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;

    // Converts `in` into `out`. A sequence the source encoding does not
    // allow becomes `*replacement` (already in the target encoding) and one
    // byte is skipped; without a replacement the conversion stops there and
    // returns false.
    bool Convert(std::string_view in, std::string& out, const std::string_view* replacement)
    {
        out.resize(in.size() * 2 + 16);
        iconv(m_cd, nullptr, nullptr, nullptr, nullptr);
        char* src = const_cast<char*>(in.data());
        std::size_t srcLeft = in.size();
        std::size_t used = 0;
        while (true) {
            char* dst = out.data() + used;
            std::size_t dstLeft = out.size() - used;
            std::size_t r = srcLeft ? iconv(m_cd, &src, &srcLeft, &dst, &dstLeft)
                                    : iconv(m_cd, nullptr, nullptr, &dst, &dstLeft);
            used = out.size() - dstLeft;
            if (r != static_cast<std::size_t>(-1)) {
                if (srcLeft == 0)
                    break;
                continue;
            }
            if (errno == E2BIG) {
                out.resize(out.size() * 2);
            } else { // EILSEQ, or EINVAL for a sequence cut off at the end
                if (!replacement)
                    return false;
                out.resize(used);
                out += *replacement;
                used = out.size();
                out.resize(used + srcLeft * 2 + 16);
                ++src;
                --srcLeft;
                iconv(m_cd, nullptr, nullptr, nullptr, nullptr);
            }
        }
        out.resize(used);
        return true;
    }

    // The same, always succeeding: a bad sequence becomes `replacement`.
    std::string Convert(std::string_view in, std::string_view replacement)
    {
        std::string out;
        Convert(in, out, &replacement);
        return out;
    }

private:
    iconv_t m_cd;
};

Converter& ToGb()
{
    thread_local Converter c("GB18030", "UTF-8");
    return c;
}

Converter& FromGb()
{
    thread_local Converter c("UTF-8", "GB18030");
    return c;
}

// Rewrites `bytes` as well-formed UTF-8, escaping every byte that is not part
// of a well-formed sequence, and every byte of a sequence that itself encodes
// an escape character (so that one cannot be confused with an escape).
std::string EscapeStrayBytes(std::string_view bytes)
{
    std::string out;
    out.reserve(bytes.size() + bytes.size() / 2);
    std::size_t i = 0;
    while (i < bytes.size()) {
        char32_t cp;
        std::size_t n = Utf8SequenceAt(bytes, i, cp);
        if (n != 0 && !(cp >= kEscapeBase + 0x80 && cp <= kEscapeBase + 0xFF)) {
            out.append(bytes.data() + i, n);
            i += n;
            continue;
        }
        std::size_t count = n ? n : 1;
        for (std::size_t k = 0; k < count; ++k)
            AppendUtf8(out, kEscapeBase + static_cast<unsigned char>(bytes[i + k]));
        i += count;
    }
    return out;
}

} // namespace

bool IsAscii(std::string_view bytes) noexcept
{
    for (unsigned char c : bytes)
        if (c >= 0x80)
            return false;
    return true;
}

void AppendUtf8(std::string& out, char32_t c)
{
    if (c < 0x80) {
        out += char(c);
    } else if (c < 0x800) {
        out += char(0xC0 | (c >> 6));
        out += char(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += char(0xE0 | (c >> 12));
        out += char(0x80 | ((c >> 6) & 0x3F));
        out += char(0x80 | (c & 0x3F));
    } else {
        out += char(0xF0 | (c >> 18));
        out += char(0x80 | ((c >> 12) & 0x3F));
        out += char(0x80 | ((c >> 6) & 0x3F));
        out += char(0x80 | (c & 0x3F));
    }
}

bool IsValidUtf8(std::string_view bytes) noexcept
{
    std::size_t i = 0;
    while (i < bytes.size()) {
        char32_t cp;
        std::size_t n = Utf8SequenceAt(bytes, i, cp);
        if (n == 0)
            return false;
        i += n;
    }
    return true;
}

std::string Utf8ToGb(std::string_view utf8)
{
    if (IsAscii(utf8))
        return std::string(utf8);
    // The escaped text is well-formed UTF-8 of characters GB18030 maps, so
    // the replacement is never used; it is there for safety only.
    return ToGb().Convert(EscapeStrayBytes(utf8), "?");
}

std::string GbToUtf8(std::string_view gb)
{
    if (IsAscii(gb))
        return std::string(gb);
    return FromGb().Convert(gb, "\xEF\xBF\xBD");
}

bool Utf8ToGbExact(std::string_view utf8, std::string& out)
{
    if (IsAscii(utf8)) {
        out.assign(utf8);
        return true;
    }
    return ToGb().Convert(utf8, out, nullptr);
}

bool GbToUtf8Exact(std::string_view gb, std::string& out)
{
    if (IsAscii(gb)) {
        out.assign(gb);
        return true;
    }
    // A valid sequence may still map to a character that converts back to
    // other bytes, so the way back is checked too.
    std::string back;
    return FromGb().Convert(gb, out, nullptr) && Utf8ToGbExact(out, back) && back == gb;
}

std::string GbToDisk(std::string_view gb)
{
    std::string utf8 = GbToUtf8(gb);
    // U+F780..U+F7FF are EF 9E 80..EF 9F BF in UTF-8; put the bytes back.
    std::string out;
    out.reserve(utf8.size());
    for (std::size_t i = 0; i < utf8.size();) {
        auto u = [&](std::size_t k) { return static_cast<unsigned char>(utf8[i + k]); };
        if (i + 2 < utf8.size() && u(0) == 0xEF && (u(1) == 0x9E || u(1) == 0x9F) && (u(2) & 0xC0) == 0x80) {
            char32_t cp = ((u(0) & 0x0F) << 12) | ((u(1) & 0x3F) << 6) | (u(2) & 0x3F);
            out += char(cp - kEscapeBase);
            i += 3;
        } else {
            out += utf8[i++];
        }
    }
    return out;
}

std::string Utf16ToGb(std::u16string_view utf16)
{
    std::string utf8;
    utf8.reserve(utf16.size() * 3);
    for (std::size_t i = 0; i < utf16.size(); ++i) {
        char32_t c = utf16[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < utf16.size() && utf16[i + 1] >= 0xDC00
            && utf16[i + 1] <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (utf16[i + 1] - 0xDC00);
            ++i;
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            c = kReplacement;
        }
        AppendUtf8(utf8, c);
    }
    if (IsAscii(utf8))
        return utf8;
    return ToGb().Convert(utf8, "?");
}

} // namespace tessary
