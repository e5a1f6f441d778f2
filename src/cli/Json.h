#pragma once

#include "Archive.h"
#include "CliSupport.h"

#include <string>
#include <string_view>

namespace tessary::cli {

// The library as JSON:
//   {"roots": [CATEGORY, ...]}
//   CATEGORY = {"class", "name", "remark", "subcategories", "items", "path", "volume"}
//   ITEM     = {"class", "name", "remark", "content", "extension", "size", "time", "folder"}
//   VOLUME   = {"uuid", "label", "fsType", "capacity", "free", "mountPoint", "pathInVolume",
//               "scanTime", "host"}
// with the keys in that order; "path" only for the CD-ROM, drive and
// root-folder categories, "volume" only for those of them that have a
// volume record, "folder" only for custom data items. Keys missing from a
// volume take their defaults on reading (empty, 0, "/" for pathInVolume). Texts are the
// library's GB18030 converted to UTF-8, content is base64 of the raw bytes,
// times are signed and sizes unsigned integers.
//
// Writing and reading back gives the same entries, text bytes included; a
// text that is not valid GB18030 (and so has no exact UTF-8 form) makes
// WriteJson throw DataError rather than write something else.
void WriteJson(const CategoryList& roots, Output& out);

// Builds the library that `json` describes. Throws DataError with the byte
// offset for malformed JSON, unknown or misplaced classes and keys, numbers
// out of range, bad base64 and texts that GB18030 cannot hold.
RootList ReadJson(std::string_view json);

// Writes `utf8` as a quoted JSON string, escaping what JSON requires.
void WriteJsonString(Output& out, std::string_view utf8);

// Standard base64 with padding.
std::string Base64Encode(std::string_view bytes);
// Strict decoding: the standard alphabet, length a multiple of 4, padding
// only at the end. Returns false on anything else.
bool Base64Decode(std::string_view text, std::string& bytes);

} // namespace tessary::cli
