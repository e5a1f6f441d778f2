#pragma once

#include <QString>

namespace tessary {

// The freedesktop registration of library files: a shared-mime-info package
// that names "*.dli" files "Tessary Document", a desktop entry that opens them
// with this program, and the icons of both.

// MIME type of library files.
inline constexpr const char* kLibraryMimeType = "application/x-tessary-library";

// Writes the registration below `dataHome` (normally ~/.local/share) for the
// executable `exePath`, file by file, wherever a file is missing or differs
// from what this program would write. Returns true when something was
// written (the desktop's caches then need refreshing); false when all was in
// place or writing failed.
bool RegisterFileType(const QString& dataHome, const QString& exePath);

// Refreshes the desktop's MIME and application caches below `dataHome` in
// the background, if the tools are installed.
void RefreshDesktopDatabases(const QString& dataHome);

} // namespace tessary
