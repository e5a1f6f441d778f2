#pragma once

#include <QString>
#include <QStringList>

class QSettings;

namespace tessary {

// The running program's profile, as the application installs it at start-up
// (not owned); null while none is installed, as in tests that build windows
// on their own. Dialogs that keep their places there read it.
QSettings* ApplicationProfile();
void SetApplicationProfile(QSettings* profile);

// Whether the program in `exeDir` is an installed copy: its install prefix
// holds the program's shared files (`exeDir`/../share/tessary), or it lies
// in the system's own folders (below /usr). A copy started from its build
// folder is not.
bool IsInstalledCopy(const QString& exeDir);

// Where the settings file "Oakbrim.ini" lives: for an installed copy always
// in `configDir` (the user's configuration folder, also when the program
// could write its own folder, as root can); for a copy run from its build
// folder beside the executable in `exeDir` when the file can be written
// there, otherwise in `configDir`.
QString ProfilePathFor(const QString& exeDir, const QString& configDir);

// The help file of the executable `exePath`: its path with the extension of
// the file name (if any) replaced by ".HLP", then every ".HLP" in the whole
// path (case-sensitively) replaced by ".chm".
QString HelpPathFor(const QString& exePath);

// The index page of the user manual for the program in `exeDir`: the copy
// installed with it, `exeDir`/../share/tessary/manual/index.html, else
// `sourceManualDir`/index.html for a run from the build folder. When neither
// exists, the installed copy's path (so that a message can name it).
QString ManualPathFor(const QString& exeDir, const QString& sourceManualDir);
// The text of `key` in `section` of the INI file `path`, as it stands in the
// file: no list or escape parsing, blanks around it removed, and one pair of
// enclosing double quotes dropped. Section and key names compare without
// regard to case, as profile files always have. Empty when the file, the
// section or the key is missing.
QString ReadRawProfileString(const QString& path, const QString& section, const QString& key);

// The recent-file list of the File menu: newest first, at most `capacity`
// paths, no duplicates.
class CRecentFileList {
public:
    explicit CRecentFileList(int capacity)
        : m_capacity(capacity)
    {
    }

    void Load(QSettings& profile);
    void Save(QSettings& profile) const;

    // Puts `path` first (moving it up if it is already listed).
    void Add(const QString& path);
    void Remove(const QString& path);
    const QStringList& Files() const { return m_files; }
    int Capacity() const { return m_capacity; }

private:
    int m_capacity;
    QStringList m_files;
};

} // namespace tessary
