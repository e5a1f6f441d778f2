#pragma once

#include "CommandTarget.h"
#include "DocumentBase.h"

#include <functional>

class QIcon;
class QPoint;
class QString;
class QWidget;

namespace tessary {

class IPaneCommands;

// What the main frame needs from the two panes of its splitter. A pane is a
// view of the document (it gets OnUpdate after changes made elsewhere) and a
// command target: while it is the active view it is asked about commands
// after the command manager and the output bar.
class IPaneView : public IDocumentView, public ICommandTarget {
public:
    // The pane's widget, owned by the splitter once the frame places it.
    virtual QWidget* Widget() = 0;
    // Lends the pane the shared small-icon list: `icon(index)` gives the icon
    // of an entry's image index. The function outlives the pane.
    virtual void SetIconSource(std::function<QIcon(int)> icon) = 0;
    // How the pane shows its context menu: `show(popupIndex, globalPos)`
    // opens the main menu's popup at that position (2: "类别", 3: "资料")
    // with its entries' enable states brought up to date, routed like the
    // main menu. Without it no context menu opens.
    virtual void SetContextMenuHandler(std::function<void(int popupIndex, const QPoint& globalPos)> show) = 0;
    // Lends the pane the commands it runs for its own rows (not owned; it
    // outlives the pane). Without them the pane renames, deletes and edits
    // nothing.
    virtual void SetPaneCommands(IPaneCommands* commands) = 0;
};

// The left pane: the category tree.
class ICategoryPane : public IPaneView { };

// The right pane: the entries of the current category.
class IItemListPane : public IPaneView {
public:
    // Shows only the entries of the current category whose display names
    // contain `text` (ASCII letters compared without case).
    virtual void FilterRows(const QString& text) = 0;
};

} // namespace tessary
