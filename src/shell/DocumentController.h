#pragma once

#include "Archive.h"
#include "CommandTarget.h"
#include "Profile.h"

#include <QObject>
#include <QPointer>
#include <QWidget>

class QSettings;

namespace tessary {

class CTessaryDoc;

// The life of the one document as the user drives it: new, open, save, save
// as, the question whether to save changes, and the recent-file list. It is
// also the document's command target (save and save as).
//
// Failures to open or save are reported to the user here, with a sentence
// naming the file; the operations then return false.
class CDocumentController : public QObject, public ICommandTarget {
    Q_OBJECT
public:
    CDocumentController(CTessaryDoc& doc, QSettings& profile, QObject* parent = nullptr);

    CTessaryDoc& Document() { return m_doc; }
    // Parent window of the dialogs.
    void SetWindow(QWidget* window) { m_window = window; }

    // Asks whether to save a modified document and saves it if so. Returns
    // false when the user cancels or saving fails: the caller must then not
    // go on (with new, open or exit).
    bool SaveModified();
    // New library (after SaveModified).
    bool NewDocument();
    // Opens `path` (after SaveModified when `askToSave`). A library that
    // another running copy holds is opened only when the user agrees.
    bool OpenDocument(const QString& path, bool askToSave = true);
    // Asks for a file and opens it.
    bool OpenWithDialog();
    // Opens entry `index` of the recent-file list; a file that cannot be
    // opened leaves the list.
    bool OpenRecent(int index);
    // Saves to the document's file, or asks for one when it has none. A
    // file changed on disk since it was opened or saved is overwritten only
    // when the user agrees (also for SaveAs onto it).
    bool Save();
    bool SaveAs();

    // Replaces the library with `roots` (read from a recovery copy of it):
    // the path stays, the library is marked modified, so that the user still
    // decides whether to save.
    void AdoptRecoveredRoots(RootList roots);

    const CRecentFileList& RecentFiles() const { return m_recent; }
    // The document's file as a QString (empty when unnamed).
    QString PathName() const;
    // The document's title (with the modified mark when modified).
    QString Title() const;

    bool QueryCommand(int id, CommandState& state) override;
    bool ExecuteCommand(int id) override;

Q_SIGNALS:
    // The library was replaced (new or open, also a failed open that left it
    // empty; not an open that failed before anything changed). What points
    // into the entries has let go already, told by the document.
    void DocumentReplaced();
    // Title, path or modified state may have changed.
    void DocumentStateChanged();
    void RecentFilesChanged();
    // A library file was opened (`path` as given to OpenDocument).
    void DocumentOpened(const QString& path);

private:
    bool ConfirmOpenHeld(const QString& path);
    bool Load(const QString& path);
    bool DoSave(const QString& path);
    void AddRecent(const QString& path);
    void RemoveRecent(const QString& path);

    CTessaryDoc& m_doc;
    QSettings& m_profile;
    QPointer<QWidget> m_window;
    CRecentFileList m_recent;
};

} // namespace tessary
