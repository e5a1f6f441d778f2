#pragma once

// A library with the two panes on it, without the main window, and small
// builders for the entries the view tests need.

#include "GuiTestSupport.h"

#include "CategoryTreeModel.h"
#include "CategoryView.h"
#include "Datum.h"
#include "EntryListModel.h"
#include "PaneCommandRunner.h"
#include "TessaryView.h"

#include <QTreeView>

#include <functional>
#include <memory>

namespace tessary::test {

inline CCustomCategory* Custom(const char* name, CCategory* parent = nullptr)
{
    auto* c = new CCustomCategory(Utf8ToGb(name));
    if (parent)
        parent->AddSubCategory(c);
    return c;
}

// A custom data item; AddDatum puts it first, so callers add the last one first.
inline CCustomDatum* Item(
    CCategory* parent, const char* name, const char* ext, Size32 size = 0, Time32 time = 0)
{
    auto* d = new CCustomDatum;
    d->m_strName = Utf8ToGb(name);
    d->m_strExtension = Utf8ToGb(ext);
    d->m_strFolder = "/docs";
    d->m_dwSize = size;
    d->m_timeModified = time;
    parent->AddDatum(d);
    return d;
}

inline QString Name(const CItem* entry)
{
    return QString::fromStdString(GbToUtf8(entry->m_strName.view()));
}

// Every row's text in one column, top to bottom.
inline QStringList ColumnTexts(
    const QAbstractItemModel* model, int column = 0, const QModelIndex& parent = {})
{
    QStringList texts;
    for (int r = 0; r < model->rowCount(parent); ++r)
        texts.append(model->index(r, column, parent).data().toString());
    return texts;
}

// True when the tree's row map holds exactly the categories that have rows,
// each with its own row. Counts the rows that exist, making none.
inline bool RowMapIsExact(const CCategoryView& tree)
{
    const CCategoryTreeModel* model = tree.TreeModel();
    std::size_t rows = 0;
    std::vector<QModelIndex> pending { QModelIndex() };
    while (!pending.empty()) {
        const QModelIndex parent = pending.back();
        pending.pop_back();
        for (int r = 0; r < model->rowCount(parent); ++r) {
            const QModelIndex row = model->index(r, 0, parent);
            ++rows;
            if (tree.RowOf(tree.EntryOf(row)) != row)
                return false;
            pending.push_back(row);
        }
    }
    return rows == tree.TreeModel()->RowMapSize();
}

// Answers the entries' edit dialogs without showing any: `answer` is what
// the dialog returns, `edit` what a confirmed dialog changes.
class CFakeEntryServices : public IEntryServices {
public:
    int IconIndex(std::string_view, bool, bool) override { return 0; }
    int EditProperties(CItem& item) override
    {
        ++dialogs;
        if (answer == 1 && edit)
            edit(item);
        return answer;
    }
    void ViewContent(const CDatum&, ContentViewer) override { }

    int answer = 2;
    int dialogs = 0;
    std::function<void(CItem&)> edit;
};

// The document with both panes wired as the main window wires them. The
// panes live in one shown window, so that focus, painting and editors work.
struct Panes {
    CTessaryDoc doc;
    std::unique_ptr<QWidget> window = std::make_unique<QWidget>();
    CCategoryView* tree = new CCategoryView(doc, window.get());
    CTessaryView* list = new CTessaryView(doc, window.get());
    CFakePrompts prompts;
    QList<int> contextMenus;
    CPaneCommandRunner commands { *tree, *list, doc };

    Panes()
    {
        doc.OnNewDocument();
        list->SetTreeView(tree);
        tree->SetPaneCommands(&commands);
        list->SetPaneCommands(&commands);
        tree->setGeometry(0, 0, 200, 400);
        list->setGeometry(200, 0, 600, 400);
        window->resize(800, 400);
        const auto menu = [this](int popup, const QPoint&) { contextMenus.append(popup); };
        tree->SetContextMenuHandler(menu);
        list->SetContextMenuHandler(menu);
        SetPrompts(&prompts);
    }
    ~Panes()
    {
        SetPrompts(nullptr);
        window.reset(); // the views leave the document before it goes
    }
    Panes(const Panes&) = delete;
    Panes& operator=(const Panes&) = delete;

    // Shows the window and gives the library a fresh start, as opening does.
    void Start()
    {
        doc.SetModifiedFlag(false);
        doc.InitialUpdateAllViews();
        window->show();
        QApplication::setActiveWindow(window.get());
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    }

    CCategoryTreeModel* TreeModel() const { return tree->TreeModel(); }
    CEntryListModel* ListModel() const { return list->ListModel(); }
    // Selects the category's row in the tree (revealing it), so it becomes current.
    void Select(CCategory* category) { tree->RevealEntry(category); }
    void SelectListRows(std::initializer_list<int> rows)
    {
        list->clearSelection();
        for (int r : rows)
            list->selectionModel()->select(
                ListModel()->index(r, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
    }
};

} // namespace tessary::test
