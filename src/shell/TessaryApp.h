#pragma once

#include "CommandTarget.h"

#include <QApplication>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QTranslator>

#include <memory>

class QSettings;

namespace tessary {

class CDocumentController;
class CMainFrame;
class CRecoveryKeeper;
class CTessaryDoc;

// How a start differs from the plain one; tests use it to stay away from the
// user's own settings and desktop.
struct StartOptions {
    // The settings file to use; empty: "Oakbrim.ini" beside the executable
    // (or in the user's configuration folder when that place is read-only),
    // unless the environment variable TESSARY_PROFILE names a file.
    QString profilePath;
    // Write the freedesktop registration of library files when missing
    // (only a copy that is not installed does).
    bool registerFileType = true;
    // Show the main window.
    bool show = true;
    // Where recovery copies go; empty: the user's state folder
    // (DefaultRecoveryFolder).
    QString recoveryFolder;
};

// The application: the profile, the one document, the main frame, the
// application's own commands (new, open, recent files, about, home page,
// exit) and the guard that keeps exceptions from crossing the event loop.
class CTessaryApp : public QApplication, public ICommandTarget {
    Q_OBJECT
public:
    CTessaryApp(int& argc, char** argv);
    ~CTessaryApp() override;

    static CTessaryApp* Instance();

    // Starts the program: `arguments` are the command-line arguments after
    // the program name (none: a new library; a path: that library is opened).
    // Returns false when start-up fails; failures are reported to the user
    // and the program should then end with a non-zero status.
    bool InitInstance(const QStringList& arguments, const StartOptions& options = {});
    // Closes the main window (asking to save) and releases everything
    // InitInstance made. Returns false if the user cancelled.
    bool ExitInstance();

    CMainFrame* MainFrame() const { return m_frame.get(); }
    CTessaryDoc* Document() const { return m_doc.get(); }
    CDocumentController* Controller() const { return m_controller.get(); }
    CRecoveryKeeper* Recovery() const { return m_recovery.get(); }
    QSettings* Profile() const { return m_profile.get(); }
    const QString& ProfilePath() const { return m_profilePath; }
    const QString& HelpPath() const { return m_helpPath; }

    bool QueryCommand(int id, CommandState& state) override;
    bool ExecuteCommand(int id) override;

    // Delivers events inside a guard: an exception thrown by a handler is
    // reported by its kind and the event loop goes on.
    bool notify(QObject* receiver, QEvent* event) override;

private:
    void OpenHomePage();

    QString m_profilePath;
    QString m_helpPath;
    std::unique_ptr<QSettings> m_profile;
    QTranslator m_qtTexts; // Qt's own texts (message box buttons, file dialogs) in Chinese
    std::unique_ptr<CTessaryDoc> m_doc;
    std::unique_ptr<CDocumentController> m_controller;
    std::unique_ptr<CMainFrame> m_frame;
    std::unique_ptr<CRecoveryKeeper> m_recovery;
};

} // namespace tessary
