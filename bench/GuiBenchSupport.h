#pragma once

// What the benchmarks of the desktop program share.

#include "UserPrompts.h"

#include <QString>

namespace tessary::bench {

// Answers every question without a window: discard changes, yes to every
// yes/no question, no file (unless one is set below), no message.
class CBenchPrompts : public IUserPrompts {
public:
    SaveAnswer AskSaveChanges(QWidget*, const QString&) override { return SaveAnswer::Discard; }
    QString GetOpenFileName(QWidget*) override { return {}; }
    QString GetSaveFileName(QWidget*, const QString&) override { return {}; }
    QString GetLibraryToImport(QWidget*) override { return libraryToImport; }
    QString GetExportFileName(QWidget*, const QString&) override { return exportFile; }
    QString GetAnyFileName(QWidget*) override { return {}; }
    QString GetExistingDirectory(QWidget*, const QString&, const QString&) override { return {}; }
    bool AskYesNo(QWidget*, const QString&) override { return true; }
    void ShowMessage(QWidget*, const QString&, Icon) override { }
    bool OpenUrl(const QUrl&) override { return false; }
    void ShowAbout(QWidget*) override { }

    QString libraryToImport;
    QString exportFile;
};

// The main function of a benchmark of the desktop program: an application
// on Qt's offscreen platform (unless QT_QPA_PLATFORM says otherwise), then
// the benchmarks the command line selects.
int RunGuiBenchmarks(int argc, char** argv);

} // namespace tessary::bench
