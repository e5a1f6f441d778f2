#pragma once

#include <QFileDialog>
#include <QString>

class QDateTime;
class QUrl;
class QWidget;

namespace tessary {

// The questions and messages the shell puts to the user, behind one
// interface so that tests can answer them without modal windows.
class IUserPrompts {
public:
    enum class SaveAnswer { Save, Discard, Cancel };
    enum class Icon { Information, Warning, Critical };

    virtual ~IUserPrompts() = default;

    // "Save the changes of <title>?" with Yes, No and Cancel.
    virtual SaveAnswer AskSaveChanges(QWidget* parent, const QString& title) = 0;
    // A library to open; empty when cancelled.
    virtual QString GetOpenFileName(QWidget* parent) = 0;
    // Where to save; `proposed` is the suggested name. Empty when cancelled.
    // The overwrite question is part of this step.
    virtual QString GetSaveFileName(QWidget* parent, const QString& proposed) = 0;
    // A library file to merge into the current category ("导入文件"); empty
    // when cancelled.
    virtual QString GetLibraryToImport(QWidget* parent) = 0;
    // Where to export a category ("导出到"), with `proposed` as the initial
    // name and the overwrite question; empty when cancelled.
    virtual QString GetExportFileName(QWidget* parent, const QString& proposed) = 0;
    // Any existing file (all files, no default extension); empty when cancelled.
    virtual QString GetAnyFileName(QWidget* parent) = 0;
    // An existing folder, in a browser titled `title`; empty when cancelled.
    virtual QString GetExistingDirectory(QWidget* parent, const QString& title, const QString& start) = 0;
    // A question with Yes and No and the exclamation icon; true for Yes.
    virtual bool AskYesNo(QWidget* parent, const QString& text) = 0;
    // A question with one button per choice (in this order, the first the
    // default) and Cancel; the index of the choice, or -1 when cancelled.
    virtual int AskChoice(QWidget* parent, const QString& text, const QStringList& choices) = 0;
    // A message box captioned with the application title.
    virtual void ShowMessage(QWidget* parent, const QString& text, Icon icon) = 0;
    // Hands an address or a file to the desktop.
    virtual bool OpenUrl(const QUrl& url) = 0;
    // Runs the about box modally.
    virtual void ShowAbout(QWidget* parent) = 0;

    enum class RecoverAnswer { Recover, Discard, Later };
    // "恢复未保存的修改": a recovery copy of `library` (its path, or the
    // title of a library without a file) written at `saved` holds changes
    // that were never saved. Prompts that do not ask answer Later, which
    // keeps the copy.
    virtual RecoverAnswer AskRecover(QWidget* parent, const QString& library, const QDateTime& saved);
};

// The dialog that asks where to save or export a library: a save dialog for
// library files ("dli" by default, the overwrite question included) that
// refuses a name in a folder that does not exist, saying so, and stays open.
class CLibrarySaveDialog : public QFileDialog {
    Q_OBJECT
public:
    CLibrarySaveDialog(QWidget* parent, const QString& title, const QString& proposed);
    void accept() override;
};

// The prompts in use: the installed ones, or the real dialogs.
IUserPrompts& Prompts();
// Installs `prompts` (not owned; null restores the real dialogs).
void SetPrompts(IUserPrompts* prompts);

} // namespace tessary
