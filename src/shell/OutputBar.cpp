#include "OutputBar.h"

#include "ResourceIds.h"
#include "Strings.h"

#include <QHeaderView>
#include <QMenu>
#include <QTreeWidget>

namespace tessary {
namespace {

// The bar's default size (before the user or the saved layout sizes it).
class CResultList : public QTreeWidget {
public:
    using QTreeWidget::QTreeWidget;
    QSize sizeHint() const override { return QSize(200, 100); }
};

} // namespace

COutputBar::COutputBar(QWidget* parent)
    : QDockWidget(QStringLiteral("Output"), parent)
{
    setObjectName(QString::number(ID_VIEW_OUTPUT_BAR));
    m_list = new CResultList(this);
    m_list->setObjectName(QStringLiteral("101"));
    m_list->setRootIsDecorated(false);
    m_list->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_list->setHeaderLabels({ LoadString(IDS_COL_NAME), LoadString(IDS_COL_SIZE), LoadString(IDS_COL_TYPE),
        LoadString(IDS_COL_MODIFIED), LoadString(IDS_COL_LOCATION) });
    for (int c = 0; c < 5; ++c)
        m_list->header()->resizeSection(c, 120);
    setWidget(m_list);

    m_list->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(m_list, &QWidget::customContextMenuRequested, this, [this](const QPoint& pos) {
        if (m_contextMenu)
            m_contextMenu->popup(m_list->viewport()->mapToGlobal(pos));
    });
}

int COutputBar::SelectedCount() const
{
    return static_cast<int>(m_list->selectedItems().size());
}

std::vector<CDatum*> COutputBar::SelectedItems() const
{
    return {};
}

void COutputBar::Clear()
{
    m_list->clear();
}

bool COutputBar::QueryCommand(int id, CommandState& state)
{
    switch (id) {
    case ID_EDIT_SELECT_ALL:
        state.enabled = true;
        return true;
    case ID_RESULT_DELETE:
        state.enabled = !m_list->selectedItems().isEmpty();
        return true;
    default:
        return false;
    }
}

bool COutputBar::ExecuteCommand(int id)
{
    switch (id) {
    case ID_EDIT_SELECT_ALL:
        m_list->selectAll();
        return true;
    case ID_RESULT_DELETE:
        qDeleteAll(m_list->selectedItems());
        return true;
    default:
        return false;
    }
}

} // namespace tessary
