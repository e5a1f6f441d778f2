#pragma once

#include <QString>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tessary {

// An unsigned decimal number of 32 bits typed in a field, blanks around it
// allowed; nothing for anything else (empty, signs, other digits, too large).
std::optional<std::uint32_t> ParseUnsigned32(const QString& text);

// Library text (GB18030) as shown, and back. Names that came from disk with
// bytes that are not UTF-8 keep their private-use placeholders both ways,
// so an edited path still leads to the same file.
QString FromLibraryText(std::string_view gb);
std::string ToLibraryText(const QString& text);
// A path as the platform names it on disk, shown readably (bytes that are
// not UTF-8 show as placeholders).
QString DiskPathToText(std::string_view diskPath);

// Extracted content as text: up to its first zero byte, read as UTF-8 when
// it is well-formed UTF-8 (most files on Linux), otherwise as GB18030 (the
// library's code page, and that of files from Chinese Windows systems).
QString ContentToText(std::string_view bytes);

// The same for an HTML page, except that the page's own charset
// declaration (a meta element within the first 1024 bytes) wins when it
// names an encoding this program can read.
QString HtmlContentToText(std::string_view bytes);

// A remark as shown in a multi-line field ("\r\n" line breaks become "\n").
QString RemarkToField(std::string_view gb);
// The remark a field's text stands for: `original` itself when the text was
// not changed (its bytes stay exactly as they were), otherwise the text with
// "\r\n" line breaks, as libraries have always stored them.
std::string FieldToRemark(const QString& field, std::string_view original);

} // namespace tessary
