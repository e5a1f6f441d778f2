#pragma once

#include "CommandTarget.h"

#include <QObject>

#include <functional>
#include <map>
#include <vector>

class QAction;
class QMenu;

namespace tessary {

// Turns command ids into QActions and routes them to the targets.
//
// There is one QAction per id, made on first request with the menu text, the
// status prompt and tooltip of the string table and the toolbar image. When
// an action triggers, the router asks the route (a list of targets, queried
// anew each time because the active view changes) for the first target that
// handles the id, checks its enable rule, and runs it there. An id nobody
// handles is disabled.
//
// Exceptions never leave the router: a failing command is reported through
// the installed reporter and the program goes on.
class CCommandRouter : public QObject {
    Q_OBJECT
public:
    using Route = std::function<std::vector<ICommandTarget*>()>;
    using Reporter = std::function<void()>; // called inside a catch block

    explicit CCommandRouter(QObject* parent = nullptr);
    ~CCommandRouter() override;

    void SetRoute(Route route) { m_route = std::move(route); }
    // Called with the exception in flight when a command throws.
    void SetReporter(Reporter reporter) { m_reporter = std::move(reporter); }

    // The action of `id`, made on first use. `menuText` (with its mnemonic)
    // is taken when the action is made; otherwise the tooltip (or the prompt)
    // names it. The action is owned by the router.
    QAction* Action(int id, const QString& menuText = QString());
    QAction* FindAction(int id) const;
    // Id of an action made here, or 0.
    static int IdOf(const QAction* action);

    // The first target that handles `id` and its state; null when none.
    ICommandTarget* Query(int id, CommandState& state) const;
    // Runs `id` if a target handles it and it is enabled; returns whether
    // it ran. Reports an exception and returns true when the command threw.
    bool Execute(int id);

    // Refreshes enabled and checked state of the given actions.
    void UpdateActions(const QList<QAction*>& actions);
    void UpdateAllActions();
    // Refreshes the menu's actions each time it is about to show.
    void WatchMenu(QMenu* menu);

Q_SIGNALS:
    // After every routed command, also a failed one (the caption and other
    // state shown outside the actions may have changed).
    void CommandFinished(int id);

private:
    Route m_route;
    Reporter m_reporter;
    std::map<int, QAction*> m_actions;
};

} // namespace tessary
