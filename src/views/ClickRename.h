#pragma once

#include <QObject>
#include <QPersistentModelIndex>
#include <QPoint>
#include <QTimer>

#include <functional>

class QAbstractItemView;
class QMouseEvent;

namespace tessary {

// In-place renaming started by a click on a row that was already selected
// and current, as file managers do. The editor opens only once the
// double-click interval has passed without a second click, so a double click
// never renames; a drag, another press or a double click cancels it. Only
// clicks on the row's label count (the text itself: not its icon, the tree's
// expand button or indentation, nor the blank space right of a short name),
// as `onLabel(row, viewportPoint)` tells. The view passes its mouse events on.
class CClickRename : public QObject {
public:
    using LabelTest = std::function<bool(const QModelIndex& row, const QPoint& point)>;
    CClickRename(QAbstractItemView* view, LabelTest onLabel);

    // Call before the view handles the press.
    void Pressed(const QMouseEvent* event);
    void Released(const QMouseEvent* event);
    void Cancel();

private:
    void Fire();

    QAbstractItemView* m_view;
    LabelTest m_onLabel;
    QPersistentModelIndex m_candidate;
    QPoint m_pressPos;
    QTimer m_timer;
};

} // namespace tessary
