#pragma once

#include <QString>

#include <functional>

class QWidget;

namespace tessary {

// The folder-selection dialog behind the "..." button of the folder import
// dialog: a modal browser of the file system's folders, titled with a string
// of the string table. Only folders can be confirmed.
//
// The browser itself is replaceable (SetHook), so that tests choose a folder
// without a modal window.
class CFolderBrowser {
public:
    // Shows the browser over `owner` with the title `titleId`, and returns
    // the chosen folder, or an empty string when the user cancels. `start`
    // is the folder shown first (may be empty).
    using Hook = std::function<QString(QWidget* owner, const QString& title, const QString& start)>;

    // `owner` (may be null) is not owned. `start` is the folder to show
    // first; empty means the browser's own choice.
    CFolderBrowser(QWidget* owner, int titleId, const QString& start = QString());

    // Runs the browser modally. True when the user chose a folder (then
    // GetSelectedPath holds it), false when the user cancelled.
    bool Browse();
    // The chosen folder (empty before a successful Browse).
    const QString& GetSelectedPath() const { return m_selectedPath; }
    const QString& GetTitle() const { return m_title; }

    // Installs `hook` in place of the real browser; an empty hook restores
    // it. Returns the previous hook.
    static Hook SetHook(Hook hook);

private:
    QWidget* m_owner;
    QString m_title;
    QString m_start;
    QString m_selectedPath;
};

} // namespace tessary
