#pragma once

// The two panes with an output bar and the command manager on them, and the
// means to answer the commands' dialogs without showing any.

#include "ViewsTestSupport.h"

#include "CmdManager.h"
#include "CommandDialogs.h"
#include "OutputBar.h"

#include <QApplication>
#include <QDialog>
#include <QTimer>

#include <functional>
#include <memory>

namespace tessary::test {

// Answers every dialog a command runs with `runner` while it lives.
class ScopedDialogRunner {
public:
    explicit ScopedDialogRunner(DialogRunner runner)
        : m_previous(SetDialogRunner(std::move(runner)))
    {
    }
    ~ScopedDialogRunner() { SetDialogRunner(std::move(m_previous)); }
    ScopedDialogRunner(const ScopedDialogRunner&) = delete;
    ScopedDialogRunner& operator=(const ScopedDialogRunner&) = delete;

private:
    DialogRunner m_previous;
};

// The panes, an output bar and the command manager; add roots to
// `panes.doc`, then Start.
struct Commands {
    Panes panes;
    COutputBar bar;
    std::unique_ptr<CCmdManager> manager;

    void Start()
    {
        panes.Start();
        manager = std::make_unique<CCmdManager>(*panes.tree, *panes.list, bar);
    }
    // Runs `id` as a menu entry would: only while its rule allows it.
    // Returns whether it ran.
    bool Run(int id)
    {
        CommandState state;
        if (!manager->QueryCommand(id, state) || !state.enabled)
            return false;
        return manager->ExecuteCommand(id);
    }
    CTessaryDoc& Doc() { return panes.doc; }
};

} // namespace tessary::test
