#pragma once

#include <QObject>
#include <QPersistentModelIndex>
#include <QPoint>
#include <QTimer>

class QAbstractItemView;
class QMouseEvent;

namespace tessary {

// In-place renaming started by a click on a row that was already selected
// and current, as file managers do. The editor opens only once the
// double-click interval has passed without a second click, so a double click
// never renames; a drag, another press or a double click cancels it. Only
// clicks in column `column` count. The view passes its mouse events on.
class CClickRename : public QObject {
public:
    CClickRename(QAbstractItemView* view, int column);

    // Call before the view handles the press.
    void Pressed(const QMouseEvent* event);
    void Released(const QMouseEvent* event);
    void Cancel();

private:
    void Fire();

    QAbstractItemView* m_view;
    int m_column;
    QPersistentModelIndex m_candidate;
    QPoint m_pressPos;
    QTimer m_timer;
};

} // namespace tessary
