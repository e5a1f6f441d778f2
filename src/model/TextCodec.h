#pragma once

#include <string>
#include <string_view>

namespace tessary {

// Conversions between the library's code page (GB18030, a superset of GBK
// that holds every Unicode character) and UTF-8.
//
// File names on disk are bytes. Names that are not valid UTF-8 (old discs,
// foreign encodings) are still catalogued: each byte that is not part of a
// valid UTF-8 sequence becomes the private-use character U+F700 + byte, which
// GB18030 can store, and converting back gives the same bytes again. So a
// stored name always leads back to the same file on disk.

// UTF-8 (or arbitrary disk bytes) -> GB18030. Never fails: stray bytes are
// escaped as described above.
std::string Utf8ToGb(std::string_view utf8);

// GB18030 -> UTF-8 for display. Escaped stray bytes come back as their
// private-use characters (shown readably as placeholders); invalid GB18030
// sequences become U+FFFD.
std::string GbToUtf8(std::string_view gb);

// GB18030 -> the bytes of a name on disk: as GbToUtf8, but escaped stray
// bytes are restored to the original bytes.
std::string GbToDisk(std::string_view gb);

// Disk bytes -> GB18030 (the same as Utf8ToGb; named for the call sites).
inline std::string DiskToGb(std::string_view disk)
{
    return Utf8ToGb(disk);
}

// Exact conversions, for formats that must give back the same bytes: no
// escaping and no replacement. They return false (and leave `out`
// unspecified) when a character cannot be converted; GbToUtf8Exact also
// refuses a text whose UTF-8 form would not convert back to the same bytes.
// `out` must not hold the text being converted.
bool Utf8ToGbExact(std::string_view utf8, std::string& out);
bool GbToUtf8Exact(std::string_view gb, std::string& out);

// True when every byte is below 0x80: such a text is the same in UTF-8,
// GB18030 and on disk, so callers skip conversions for it.
bool IsAscii(std::string_view bytes) noexcept;

// True when `bytes` is well-formed UTF-8.
bool IsValidUtf8(std::string_view bytes) noexcept;

// Appends the UTF-8 form of the code point `c` (at most U+10FFFF).
void AppendUtf8(std::string& out, char32_t c);

// Converts UTF-16LE code units (as found in the archive's wide text form) to
// GB18030; unpaired surrogates become U+FFFD.
std::string Utf16ToGb(std::u16string_view utf16);

} // namespace tessary
