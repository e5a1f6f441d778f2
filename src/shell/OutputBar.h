#pragma once

#include "CommandTarget.h"

#include <QDockWidget>

#include <vector>

class QMenu;
class QTreeWidget;

namespace tessary {

class CDatum;

// The docking bar "Output" that lists search results. For now it shows the
// empty result list with its five columns; the search fills it later. It is
// a command target of its own, asked right after the command manager.
class COutputBar : public QDockWidget, public ICommandTarget {
    Q_OBJECT
public:
    explicit COutputBar(QWidget* parent = nullptr);

    QTreeWidget* ResultList() const { return m_list; }
    // Removes every row (the library they point into is going away).
    void Clear();
    // The menu shown on a right click in the result list (not owned).
    void SetContextMenu(QMenu* menu) { m_contextMenu = menu; }

    // Selected result rows: their number, and their data items in row order.
    int SelectedCount() const;
    std::vector<CDatum*> SelectedItems() const;

    bool QueryCommand(int id, CommandState& state) override;
    bool ExecuteCommand(int id) override;

private:
    QTreeWidget* m_list;
    QMenu* m_contextMenu = nullptr;
};

} // namespace tessary
