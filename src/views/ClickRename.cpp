#include "ClickRename.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QMouseEvent>

namespace tessary {

CClickRename::CClickRename(QAbstractItemView* view, LabelTest onLabel)
    : QObject(view)
    , m_view(view)
    , m_onLabel(std::move(onLabel))
{
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, &CClickRename::Fire);
}

void CClickRename::Pressed(const QMouseEvent* event)
{
    Cancel();
    if (event->button() != Qt::LeftButton || event->modifiers() != Qt::NoModifier)
        return;
    const QPoint pos = event->position().toPoint();
    const QModelIndex at = m_view->indexAt(pos);
    if (!at.isValid() || !m_onLabel(at, pos))
        return;
    const QModelIndex current = m_view->currentIndex();
    if (!current.isValid() || current.row() != at.row() || current.parent() != at.parent())
        return;
    if (!m_view->selectionModel() || !m_view->selectionModel()->isSelected(at))
        return;
    m_candidate = at;
    m_pressPos = pos;
}

void CClickRename::Released(const QMouseEvent* event)
{
    if (!m_candidate.isValid() || event->button() != Qt::LeftButton)
        return;
    const QPoint pos = event->position().toPoint();
    if ((pos - m_pressPos).manhattanLength() >= QApplication::startDragDistance()
        || m_view->indexAt(pos) != QModelIndex(m_candidate)) {
        Cancel();
        return;
    }
    m_timer.start(QApplication::doubleClickInterval());
}

void CClickRename::Cancel()
{
    m_timer.stop();
    m_candidate = QPersistentModelIndex();
}

void CClickRename::Fire()
{
    const QModelIndex at = m_candidate;
    m_candidate = QPersistentModelIndex();
    const QModelIndex current = m_view->currentIndex();
    if (at.isValid() && current.isValid() && current.row() == at.row() && current.parent() == at.parent())
        m_view->edit(at);
}

} // namespace tessary
