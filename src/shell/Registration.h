#pragma once

#include <QString>

namespace tessary {

// The freedesktop registration of library files: a shared-mime-info package
// that names "*.dli" files "Tessary Document", a desktop entry that opens them
// with this program, and the icons of both. An installation brings these
// files below PREFIX/share; a program run from its build folder writes them
// into the user's data folder instead.

// MIME type of library files.
inline constexpr const char* kLibraryMimeType = "application/x-tessary-library";

// Writes the registration below `dataHome` (normally ~/.local/share) for the
// executable `exePath`, file by file, wherever a file is missing or differs
// from what this program would write. The desktop entry is the installed
// one with `exePath` in its Exec key. Returns true when something was
// written (the desktop's caches then need refreshing); false when all was in
// place or writing failed.
bool RegisterFileType(const QString& dataHome, const QString& exePath);

// True when the program in `exeDir` is an installed copy whose prefix holds
// the registration: `exeDir`/../share/applications/tessary.desktop and
// `exeDir`/../share/mime/packages/tessary.xml both exist.
bool HasInstalledRegistration(const QString& exeDir);

// Removes the desktop entry below `dataHome` when the program its Exec key
// names no longer exists (left by a run from a build folder that is gone),
// since it would hide the installed entry of the same name. Returns true
// when it was removed.
bool RemoveStaleDesktopEntry(const QString& dataHome);

// What the program does at every start: an installed copy leaves the user's
// folder alone apart from removing a stale desktop entry; any other copy
// writes its registration there. Returns true when the user's folder changed.
bool UpdateUserRegistration(const QString& dataHome, const QString& exePath);

// Refreshes the desktop's MIME and application caches below `dataHome` in
// the background, if the tools are installed.
void RefreshDesktopDatabases(const QString& dataHome);

} // namespace tessary
