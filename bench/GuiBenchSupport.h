#pragma once

// What the benchmarks of the desktop program share.

#include "UserPrompts.h"

#include <QString>

#include <functional>

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
    int AskChoice(QWidget*, const QString&, const QStringList&) override { return 0; }
    void ShowMessage(QWidget*, const QString&, Icon) override { }
    bool OpenUrl(const QUrl&) override { return false; }
    void ShowAbout(QWidget*) override { }

    QString libraryToImport;
    QString exportFile;
};

// How long some work in the window took, and the longest the window stood
// still meanwhile.
struct WindowRun {
    double seconds = 0;
    double worstStallMs = 0;
};

// Runs `work` from inside the event loop, as a menu command runs, while a
// 5 ms timer ticks: the longest gap between ticks (or between the start and
// the first tick, or the last tick and the end) is the window's longest stall.
WindowRun RunInWindow(const std::function<void()>& work);

// The main function of a benchmark of the desktop program: an application
// on Qt's offscreen platform (unless QT_QPA_PLATFORM says otherwise), then
// the benchmarks the command line selects.
int RunGuiBenchmarks(int argc, char** argv);

// The main function of a benchmark of the main window: the program started
// as a user starts it (a new library, a profile of its own, every question
// answered by CBenchPrompts), `ready` once its window is up, then the
// benchmarks the command line selects, then the program's end without a
// question about saving.
int RunMainWindowBenchmarks(int argc, char** argv, const std::function<void()>& ready = {});

} // namespace tessary::bench
