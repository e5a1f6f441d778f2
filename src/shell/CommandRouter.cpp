#include "CommandRouter.h"

#include "Menus.h"
#include "Strings.h"

#include <QAction>
#include <QIcon>
#include <QMenu>

namespace tessary {

namespace {
const char* const kIdProperty = "commandId";
} // namespace

CCommandRouter::CCommandRouter(QObject* parent)
    : QObject(parent)
{
}

CCommandRouter::~CCommandRouter() = default;

QAction* CCommandRouter::Action(int id, const QString& menuText)
{
    if (QAction* existing = FindAction(id))
        return existing;

    auto* action = new QAction(this);
    action->setProperty(kIdProperty, id);
    action->setObjectName(QString::number(id));
    const QString tip = ToolTipText(id);
    const QString prompt = StatusPrompt(id);
    action->setText(!menuText.isEmpty() ? menuText : !tip.isEmpty() ? tip : prompt);
    if (!tip.isEmpty())
        action->setToolTip(tip);
    action->setStatusTip(prompt);
    if (const char* icon = ToolbarIconPath(id))
        action->setIcon(QIcon(QString::fromLatin1(icon)));
    connect(action, &QAction::triggered, this, [this, id] { Execute(id); });
    m_actions.emplace(id, action);
    return action;
}

QAction* CCommandRouter::FindAction(int id) const
{
    auto it = m_actions.find(id);
    return it == m_actions.end() ? nullptr : it->second;
}

int CCommandRouter::IdOf(const QAction* action)
{
    return action ? action->property(kIdProperty).toInt() : 0;
}

ICommandTarget* CCommandRouter::Query(int id, CommandState& state) const
{
    if (!m_route)
        return nullptr;
    for (ICommandTarget* target : m_route()) {
        if (!target)
            continue;
        CommandState s;
        if (target->QueryCommand(id, s)) {
            state = s;
            return target;
        }
    }
    return nullptr;
}

bool CCommandRouter::Execute(int id)
{
    bool ran = false;
    try {
        CommandState state;
        ICommandTarget* target = Query(id, state);
        // A command runs only while its enable rule holds: a shortcut or a
        // stale toolbar button must not run a disabled command.
        if (target && state.enabled)
            ran = target->ExecuteCommand(id);
    } catch (...) {
        ran = true;
        if (m_reporter) {
            try {
                m_reporter();
            } catch (...) {
                // Reporting must not throw into Qt; nothing more can be done.
            }
        }
    }
    Q_EMIT CommandFinished(id);
    return ran;
}

void CCommandRouter::UpdateActions(const QList<QAction*>& actions)
{
    for (QAction* action : actions) {
        const int id = IdOf(action);
        if (id == 0)
            continue;
        CommandState state;
        const bool handled = Query(id, state) != nullptr;
        action->setEnabled(handled && state.enabled);
        action->setCheckable(handled && state.checkable);
        if (handled && state.checkable)
            action->setChecked(state.checked);
    }
}

void CCommandRouter::UpdateAllActions()
{
    QList<QAction*> all;
    for (const auto& [id, action] : m_actions)
        all.append(action);
    UpdateActions(all);
}

void CCommandRouter::WatchMenu(QMenu* menu)
{
    connect(menu, &QMenu::aboutToShow, this, [this, menu] { UpdateActions(menu->actions()); });
}

} // namespace tessary
