// Moving categories by drag and drop in the category tree.
#include "CategoryTreeModel.h"
#include "CategoryView.h"
#include "ClickRename.h"

#include <QDrag>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QPixmap>

namespace tessary {
namespace {

// Drags carry no data: the dragged row is the view's own, and drops from
// elsewhere (files for the main window, say) are not the tree's.
const QString kCategoryMime = QStringLiteral("application/x-tessary-category-row");

} // namespace

CCategoryView::DropMove CCategoryView::DropMoveFor(
    const QModelIndex& dragRow, const QModelIndex& target) const
{
    if (!EntryOf(dragRow))
        return DropMove::None;
    const QModelIndex oldParentRow = dragRow.parent();
    if (target == oldParentRow)
        return DropMove::None; // its own parent, or a root on empty space
    if (!target.isValid())
        return DropMove::ToRoot;
    // Onto itself or into its own subtree the library would become a cycle.
    if (target == dragRow || CCategoryTreeModel::IsBelow(target, dragRow))
        return DropMove::None;
    const CCategory* into = EntryOf(target);
    if (!into || !into->CanAcceptDrop())
        return DropMove::None;
    return oldParentRow.isValid() ? DropMove::BetweenCategories : DropMove::RootIntoCategory;
}

bool CCategoryView::BeginCategoryDrag(const QModelIndex& row)
{
    const CCategory* entry = EntryOf(row);
    if (m_dragRow.isValid() || !entry || !entry->CanDrag())
        return false;
    // The dragged category is the current one: the item list shows it.
    if (currentIndex() != row)
        setCurrentIndex(row);
    m_dragRow = row;
    return true;
}

void CCategoryView::EndCategoryDrag()
{
    m_dragRow = QPersistentModelIndex();
    SetDropHighlight(QModelIndex());
}

void CCategoryView::SetDropHighlight(const QModelIndex& row)
{
    if (row == m_dropHighlight)
        return;
    const QModelIndex old = m_dropHighlight;
    m_dropHighlight = row;
    if (old.isValid())
        update(old);
    if (row.isValid())
        update(row);
}

bool CCategoryView::DropDraggedCategory(const QModelIndex& target)
{
    const QModelIndex dragRow = m_dragRow;
    const DropMove move = DropMoveFor(dragRow, target);
    if (move == DropMove::None)
        return false;
    CCategory* entry = EntryOf(dragRow);
    CCategory* oldParent = entry->GetParent();
    CCategory* newParent = move == DropMove::ToRoot ? nullptr : EntryOf(target);
    if (!m_doc.MoveCategory(entry, newParent))
        return false;

    const QPersistentModelIndex targetRow = target;
    SetDropHighlight(QModelIndex());
    RemoveRowMovingSelection(dragRow);
    m_dragRow = QPersistentModelIndex();
    if (!newParent || targetRow.isValid())
        InsertEntryRow(entry, newParent ? QModelIndex(targetRow) : QModelIndex());
    RefreshEntryRow(entry);
    if (oldParent)
        RefreshEntryRow(oldParent);
    if (newParent)
        RefreshEntryRow(newParent);
    return true;
}

void CCategoryView::startDrag(Qt::DropActions)
{
    m_clickRename->Cancel();
    const QModelIndex row = currentIndex();
    if (!BeginCategoryDrag(row))
        return;
    auto* drag = new QDrag(this);
    auto* mime = new QMimeData;
    mime->setData(kCategoryMime, QByteArray());
    drag->setMimeData(mime);
    drag->setPixmap(viewport()->grab(visualRect(row)));
    drag->setHotSpot(QPoint(0, 0));
    drag->exec(Qt::MoveAction);
    EndCategoryDrag();
}

void CCategoryView::dragEnterEvent(QDragEnterEvent* event)
{
    if (!m_dragRow.isValid() || !event->mimeData()->hasFormat(kCategoryMime)) {
        event->ignore();
        return;
    }
    setState(DraggingState);
    event->setDropAction(Qt::MoveAction);
    event->accept();
}

void CCategoryView::dragMoveEvent(QDragMoveEvent* event)
{
    if (!m_dragRow.isValid() || !event->mimeData()->hasFormat(kCategoryMime)) {
        event->ignore();
        return;
    }
    // Scrolling near the edges (rows never open or close by themselves).
    QTreeView::dragMoveEvent(event);
    const QModelIndex target = indexAt(event->position().toPoint());
    // Every row that takes drops shows it, the dragged row's own parent
    // included, although a drop there changes nothing.
    const CCategory* into = EntryOf(target);
    const bool ownParent = target.isValid() && target == m_dragRow.parent() && into && into->CanAcceptDrop();
    const bool takes = ownParent || DropMoveFor(m_dragRow, target) != DropMove::None;
    SetDropHighlight(takes ? target : QModelIndex());
    if (!takes) {
        event->ignore(); // the cursor shows that the drop is not allowed
    } else {
        event->setDropAction(Qt::MoveAction);
        event->accept();
    }
}

void CCategoryView::dragLeaveEvent(QDragLeaveEvent* event)
{
    QTreeView::dragLeaveEvent(event);
    SetDropHighlight(QModelIndex());
}

void CCategoryView::dropEvent(QDropEvent* event)
{
    stopAutoScroll();
    setState(NoState);
    const QModelIndex target = indexAt(event->position().toPoint());
    if (m_dragRow.isValid() && event->mimeData()->hasFormat(kCategoryMime) && DropDraggedCategory(target)) {
        event->setDropAction(Qt::MoveAction);
        event->accept();
    } else {
        event->ignore();
    }
    SetDropHighlight(QModelIndex());
    viewport()->update();
}

} // namespace tessary
