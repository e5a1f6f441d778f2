#include "CmdManager.h"
#include "ContentCommands.h"
#include "Datum.h"
#include "EntryCommands.h"
#include "ItemCommands.h"
#include "OutputBar.h"
#include "ResourceIds.h"
#include "TessaryView.h"

#include <QAbstractItemView>

namespace tessary {
namespace {

std::vector<CItem*> SelectedResults(const COutputBar& bar)
{
    const std::vector<CDatum*> items = bar.SelectedItems();
    return std::vector<CItem*>(items.begin(), items.end());
}

// Rows of items whose content changed turn blue or back: both lists that
// may show them paint again (each row reads its entry when painted).
class CRepaintLists {
public:
    explicit CRepaintLists(CCmdManager& manager)
        : m_manager(manager)
    {
    }
    ~CRepaintLists()
    {
        m_manager.List().viewport()->update();
        for (QAbstractItemView* view : m_manager.OutputBar().findChildren<QAbstractItemView*>())
            view->viewport()->update();
    }
    CRepaintLists(const CRepaintLists&) = delete;
    CRepaintLists& operator=(const CRepaintLists&) = delete;

private:
    CCmdManager& m_manager;
};

} // namespace

void RegisterItemCommands(CCmdManager& manager)
{
    manager.SetRunner(ID_DATUM_NEW, [](CCmdManager& m) { CNewDatumCmd(m.List(), m.Document()).Execute(); });
    manager.SetRunner(
        ID_DATUM_EDIT, [](CCmdManager& m) { CEditEntryCmd(m.Tree(), m.List(), m.Document()).Execute(); });
    manager.SetRunner(ID_DATUM_DELETE,
        [](CCmdManager& m) { CDeleteEntriesCmd(m.Tree(), m.List(), m.Document()).Execute(); });
    manager.SetRunner(ID_OPEN_FILE, [](CCmdManager& m) { COpenCmd(m.List()).Execute(); });
    manager.SetRunner(ID_EXPLORE, [](CCmdManager& m) { CExploreCmd(m.List()).Execute(); });
    manager.SetRunner(ID_VIEW_CONTENT, [](CCmdManager& m) { CViewContentCmd(m.List()).Execute(); });
    manager.SetRunner(ID_VIEW_REMARK, [](CCmdManager& m) { CViewRemarkCmd(m.List()).Execute(); });
    manager.SetRunner(
        ID_PROPERTIES, [](CCmdManager& m) { CPropertiesCmd(m.List(), m.Document()).Execute(); });

    manager.SetRunner(ID_EXTRACT_CONTENT, [](CCmdManager& m) {
        CRepaintLists repaint(m);
        CExtractContentCmd(m.List().SelectedEntries(), m.Document(), m.List().window()).Execute();
    });
    manager.SetRunner(ID_RESULT_EXTRACT, [](CCmdManager& m) {
        CRepaintLists repaint(m);
        CExtractContentCmd(SelectedResults(m.OutputBar()), m.Document(), m.List().window()).Execute();
    });
    manager.SetRunner(ID_CLEAR_CONTENT, [](CCmdManager& m) {
        CRepaintLists repaint(m);
        CClearContentCmd(m.List().SelectedEntries(), m.Document()).Execute();
    });
    manager.SetRunner(ID_RESULT_CLEAR, [](CCmdManager& m) {
        CRepaintLists repaint(m);
        CClearContentCmd(SelectedResults(m.OutputBar()), m.Document()).Execute();
    });
}

} // namespace tessary
