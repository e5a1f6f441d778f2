#include "RandomUser.h"

#include "MainWindowTestSupport.h"

#include "Archive.h"
#include "CategoryTreeModel.h"
#include "CommandDialogs.h"
#include "DialogHooks.h"
#include "DocumentController.h"
#include "EntryListModel.h"
#include "ExtensionRecords.h"
#include "ImportDialogs.h"
#include "Menus.h"
#include "ProgressDlg.h"
#include "QuickFindField.h"
#include "ResourceIds.h"

#include <QAbstractButton>
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QDateTimeEdit>
#include <QDialogButtonBox>
#include <QDir>
#include <QHeaderView>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>

#include <algorithm>
#include <functional>
#include <set>

namespace tessary::test {
namespace {

int Pick(Rng& rng, int n)
{
    return n <= 0 ? 0 : std::uniform_int_distribution<int>(0, n - 1)(rng);
}
bool Chance(Rng& rng, int percent)
{
    return Pick(rng, 100) < percent;
}
template <class T> const T& OneOf(Rng& rng, std::initializer_list<T> items)
{
    return items.begin()[Pick(rng, int(items.size()))];
}

// Texts a user types: names, fragments of names, the quick find's syntax,
// numbers, nothing, and what no field should take.
QString RandomText(Rng& rng)
{
    static const char* const kTexts[] = { "甲", "乙类", "notes", "a b", "x.txt", "报告.doc", "a", "txt", "文",
        "in:甲", "size:>3", "*", "?", "  ", "", "0", "-1", "99999999999", "1024", "a/b", "..",
        "名字名字名字名字名字", "\t", "%d%s", "2024-01-01" };
    return QString::fromUtf8(kTexts[Pick(rng, int(std::size(kTexts)))]);
}

// Writes a file when it can (a folder may have gone meanwhile).
void WriteFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    if (file.open(QIODevice::WriteOnly))
        file.write(bytes);
}

CTessaryDoc& Doc()
{
    return *App().Document();
}
CMainFrame& Frame()
{
    return *App().MainFrame();
}
CCategoryView& Tree()
{
    return *Frame().TreeView();
}
CTessaryView& List()
{
    return *Frame().ListView();
}
COutputBar& Bar()
{
    return *Frame().GetOutputBar();
}

// What a library stores: the archive's bytes and the records that follow them.
std::string LibraryBytes(const CTessaryDoc& doc)
{
    std::string bytes;
    const std::vector<const CCategory*> roots(doc.GetRootList().begin(), doc.GetRootList().end());
    WriteLibrary(roots, bytes);
    for (const ExtensionRecord& record : CollectRecords(roots))
        bytes += std::to_string(record.kind) + ' ' + std::to_string(record.entry) + ' ' + record.payload;
    return bytes;
}

// Every existing row of the tree, depth first.
void TreeRows(const QAbstractItemModel& model, const QModelIndex& parent, std::vector<QModelIndex>& out)
{
    for (int i = 0; i < model.rowCount(parent); ++i) {
        const QModelIndex row = model.index(i, 0, parent);
        out.push_back(row);
        TreeRows(model, row, out);
    }
}
std::vector<QModelIndex> TreeRows()
{
    std::vector<QModelIndex> rows;
    TreeRows(*Tree().TreeModel(), {}, rows);
    return rows;
}

QModelIndex RandomTreeRow(Rng& rng)
{
    const auto rows = TreeRows();
    return rows.empty() || Chance(rng, 5) ? QModelIndex() : rows[std::size_t(Pick(rng, int(rows.size())))];
}

QLineEdit* OpenEditor()
{
    for (QWidget* pane :
        { static_cast<QWidget*>(Tree().viewport()), static_cast<QWidget*>(List().viewport()) })
        for (QLineEdit* edit : pane->findChildren<QLineEdit*>())
            if (edit->isVisible())
                return edit;
    return nullptr;
}

// Every command id of the menus, the toolbar and the output bar's menu,
// except leaving the program (the "close" action does that).
std::vector<int> CommandIds()
{
    std::set<int> ids;
    for (const MenuPopup& popup : MainMenu())
        for (const MenuEntry& entry : popup.entries)
            ids.insert(entry.id);
    for (const MenuPopup& popup : OutputBarMenu())
        for (const MenuEntry& entry : popup.entries)
            ids.insert(entry.id);
    for (int id : ToolbarButtons())
        ids.insert(id);
    for (int id : { 0, ID_APP_EXIT, ID_FILTER_FIELD, ID_TOOLBAR_SPARE })
        ids.erase(id);
    for (int i = 1; i < kRecentFileCount; ++i)
        ids.insert(ID_FILE_MRU_FIRST + i);
    return { ids.begin(), ids.end() };
}

bool Enabled(int id)
{
    CommandState state;
    return Frame().Router().Query(id, state) && state.enabled;
}

void ClickHeader(QHeaderView* header, Rng& rng)
{
    if (!header->isVisible() || header->count() == 0)
        return;
    const int section = Pick(rng, header->count());
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
        QPoint(header->sectionViewportPosition(section) + 3, header->height() / 2));
}

void SelectRows(QAbstractItemView& view, int rows, Rng& rng)
{
    view.setFocus();
    if (rows == 0 || Chance(rng, 10)) {
        view.clearSelection();
        return;
    }
    const int first = Pick(rng, rows);
    const int last = Chance(rng, 70) ? first : std::min(rows - 1, first + Pick(rng, 4));
    const QItemSelection range(view.model()->index(first, 0), view.model()->index(last, 0));
    view.selectionModel()->setCurrentIndex(view.model()->index(first, 0), QItemSelectionModel::NoUpdate);
    view.selectionModel()->select(range,
        (Chance(rng, 80) ? QItemSelectionModel::ClearAndSelect : QItemSelectionModel::Toggle)
            | QItemSelectionModel::Rows);
}

// Changes the source folders on disk: new, changed and removed files and folders.
void ChangeDisk(CRandomUser& user, Rng& rng)
{
    const QString folder = user.RandomFolder(rng);
    QDir dir(folder);
    const QStringList names = dir.entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);
    switch (Pick(rng, 4)) {
    case 0:
        WriteFile(dir.filePath(RandomText(rng).remove(QLatin1Char('/')) + QStringLiteral(".txt")),
            QByteArray(Pick(rng, 300), 'x'));
        break;
    case 1:
        dir.mkpath(QStringLiteral("sub%1/inner").arg(Pick(rng, 5)));
        break;
    case 2:
        if (!names.isEmpty()) {
            const QString victim = dir.filePath(names[Pick(rng, int(names.size()))]);
            QFileInfo(victim).isDir() ? void(QDir(victim).removeRecursively()) : void(QFile::remove(victim));
        }
        break;
    default:
        if (!names.isEmpty())
            WriteFile(dir.filePath(names[Pick(rng, int(names.size()))]), "<p>changed</p>");
        break;
    }
}

// The table: each action with its weight and when it can be taken.
struct Action {
    const char* name;
    int weight;
    bool (*enabled)(CRandomUser&);
    void (*run)(CRandomUser&, Rng&);
};

bool Always(CRandomUser&)
{
    return true;
}

const Action kActions[] = {
    { "command", 40, Always,
        [](CRandomUser& user, Rng& rng) {
            static const std::vector<int> ids = CommandIds();
            // Commands that need a selection are taken more often than
            // those always at hand, which would otherwise crowd them out.
            static const std::set<int> atHand = { ID_FILE_NEW, ID_FILE_OPEN, ID_FILE_SAVE, ID_FILE_SAVE_AS,
                ID_FILE_MRU_FIRST, ID_FILE_MRU_FIRST + 1, ID_FILE_MRU_FIRST + 2, ID_FILE_MRU_FIRST + 3,
                ID_HELP, ID_HOME_PAGE, ID_APP_ABOUT, ID_VIEW_TOOLBAR, ID_VIEW_STATUS_BAR, ID_VIEW_OUTPUT_BAR,
                ID_SEARCH, ID_QUICK_FIND, ID_CATEGORY_NEW_ROOT, ID_IMPORT_FOLDER, ID_IMPORT_CD,
                ID_IMPORT_DRIVE, ID_EDIT_SELECT_ALL, ID_FIND_DUPLICATES, ID_LIBRARY_EXPORT, ID_FILTER };
            const bool handy = Chance(rng, 35);
            std::vector<int> enabled;
            std::copy_if(ids.begin(), ids.end(), std::back_inserter(enabled),
                [&](int id) { return atHand.count(id) == std::size_t(handy) && Enabled(id); });
            if (enabled.empty())
                std::copy_if(ids.begin(), ids.end(), std::back_inserter(enabled), Enabled);
            if (enabled.empty())
                return;
            const int id = enabled[std::size_t(Pick(rng, int(enabled.size())))];
            if (qEnvironmentVariableIsSet("RANDOM_USER_VERBOSE"))
                std::fprintf(stderr, "  command %d\n", id);
            user.m_commands += Frame().Router().Execute(id);
            if (id == ID_FILTER)
                user.m_filtered = true;
            if ((id == ID_FILE_SAVE || id == ID_FILE_SAVE_AS) && !Doc().IsModified())
                user.m_savedToCheck = QFile::decodeName(QByteArray::fromStdString(Doc().GetPathName()));
        } },
    { "select-tree", 15, Always,
        [](CRandomUser&, Rng& rng) {
            const QModelIndex row = RandomTreeRow(rng);
            Tree().setFocus();
            if (row.isValid() && Chance(rng, 30))
                Tree().setExpanded(row, !Tree().isExpanded(row));
            else if (row.isValid() && Chance(rng, 20)) {
                Tree().scrollTo(row);
                QTest::mouseClick(Tree().viewport(), Qt::LeftButton, {}, Tree().visualRect(row).center());
            } else
                Tree().selectionModel()->setCurrentIndex(row, QItemSelectionModel::ClearAndSelect);
        } },
    { "select-list", 12, Always, [](CRandomUser&, Rng& rng) { SelectRows(List(), List().RowCount(), rng); } },
    { "enter-list-row", 4, [](CRandomUser&) { return List().SelectedCount() > 0; },
        [](CRandomUser&, Rng&) {
            const QModelIndex row = List().model()->index(List().FirstSelectedRow(), 0);
            List().scrollTo(row);
            QTest::mouseDClick(List().viewport(), Qt::LeftButton, {}, List().visualRect(row).center());
        } },
    { "rename-list-row", 3, [](CRandomUser&) { return List().RowCount() > 0; },
        [](CRandomUser&, Rng& rng) { List().BeginRename(Pick(rng, List().RowCount())); } },
    { "type-in-editor", 8, [](CRandomUser&) { return OpenEditor() != nullptr; },
        [](CRandomUser&, Rng& rng) {
            QLineEdit* editor = OpenEditor();
            editor->setText(RandomText(rng));
            QTest::keyClick(editor, Chance(rng, 75) ? Qt::Key_Return : Qt::Key_Escape);
        } },
    { "drag-category", 5, Always,
        [](CRandomUser&, Rng& rng) {
            const QModelIndex from = RandomTreeRow(rng);
            const QModelIndex to = RandomTreeRow(rng);
            if (from.isValid() && Tree().BeginCategoryDrag(from))
                Tree().DropDraggedCategory(to);
            Tree().EndCategoryDrag();
        } },
    { "change-disk", 5, Always, ChangeDisk },
    // Time for what waits: the click that starts a rename, the quick find's
    // index, the idle refresh.
    { "wait", 3, Always, [](CRandomUser&, Rng& rng) { QTest::qWait(50 + Pick(rng, 400)); } },
    { "quick-find", 5, Always,
        [](CRandomUser&, Rng& rng) {
            if (Chance(rng, 30))
                Frame().Router().Execute(ID_QUICK_FIND);
            Bar().FindField()->setText(RandomText(rng));
            QTest::qWait(Pick(rng, 30));
            if (Chance(rng, 30))
                QTest::keyClick(
                    Bar().FindField(), OneOf(rng, { Qt::Key_Down, Qt::Key_Return, Qt::Key_Escape }));
        } },
    { "select-results", 5, [](CRandomUser&) { return Bar().RowCount() > 0; },
        [](CRandomUser&, Rng& rng) { SelectRows(*Bar().ResultList(), Bar().RowCount(), rng); } },
    { "sort", 4, Always,
        [](CRandomUser&, Rng& rng) {
            ClickHeader(Chance(rng, 60) ? List().header() : Bar().ResultList()->header(), rng);
        } },
    { "filter-text", 4, Always,
        [](CRandomUser& user, Rng& rng) {
            Frame().FilterField()->setText(RandomText(rng));
            if (Chance(rng, 50)) {
                QTest::keyClick(Frame().FilterField(), Qt::Key_Return);
                user.m_filtered = true;
            }
        } },
    { "context-menu", 3, Always,
        [](CRandomUser&, Rng& rng) {
            QAbstractItemView* pane
                = OneOf<QAbstractItemView*>(rng, { &Tree(), &List(), Bar().ResultList() });
            if (!pane->isVisible())
                return;
            const QPoint at(Pick(rng, pane->viewport()->width()), Pick(rng, pane->viewport()->height()));
            QContextMenuEvent event(QContextMenuEvent::Mouse, at, pane->viewport()->mapToGlobal(at));
            QApplication::sendEvent(pane->viewport(), &event);
        } },
    { "close", 2, Always,
        [](CRandomUser& user, Rng& rng) {
            if (!App().ExitInstance())
                return;
            StartOptions options;
            options.profilePath = user.Path(QStringLiteral("Oakbrim.ini"));
            options.registerFileType = false;
            // A library that cannot be opened ends the program at once: the
            // user starts it again without one.
            const QString library = user.RandomLibrary(rng, false);
            if (library.isEmpty() || !App().InitInstance({ library }, options))
                App().InitInstance({}, options);
            QApplication::setActiveWindow(App().MainFrame());
            user.m_replaced = true;
        } },
};

} // namespace

// Answers the program's questions at random, with files of the run's folder.
class CRandomPrompts : public IUserPrompts {
public:
    explicit CRandomPrompts(CRandomUser& user)
        : m_user(user)
    {
    }
    SaveAnswer AskSaveChanges(QWidget*, const QString&) override
    {
        return OneOf(R(), { SaveAnswer::Save, SaveAnswer::Discard, SaveAnswer::Discard, SaveAnswer::Cancel });
    }
    QString GetOpenFileName(QWidget*) override { return m_user.RandomLibrary(R(), false); }
    QString GetSaveFileName(QWidget*, const QString&) override { return m_user.RandomLibrary(R(), true); }
    QString GetLibraryToImport(QWidget*) override { return m_user.RandomLibrary(R(), false); }
    QString GetExportFileName(QWidget*, const QString&) override { return m_user.RandomLibrary(R(), true); }
    QString GetAnyFileName(QWidget*) override { return m_user.RandomFolder(R()) + QStringLiteral("/a.txt"); }
    QString GetExistingDirectory(QWidget*, const QString&, const QString&) override
    {
        return Chance(R(), 10) ? QString() : m_user.RandomFolder(R());
    }
    bool AskYesNo(QWidget*, const QString&) override { return Chance(R(), 70); }
    int AskChoice(QWidget*, const QString&, const QStringList& choices) override
    {
        return Pick(R(), int(choices.size()) + 1) - 1;
    }
    RecoverAnswer AskRecover(QWidget*, const QString&, const QDateTime&) override
    {
        return OneOf(R(), { RecoverAnswer::Recover, RecoverAnswer::Discard, RecoverAnswer::Later });
    }
    void ShowMessage(QWidget*, const QString&, Icon) override { }
    bool OpenUrl(const QUrl&) override { return true; }
    void ShowAbout(QWidget*) override { }

private:
    Rng& R() { return m_user.m_rng; }
    CRandomUser& m_user;
};

CRandomUser::CRandomUser() = default;
CRandomUser::~CRandomUser() = default;

std::vector<std::string> ActionNames()
{
    std::vector<std::string> names;
    for (const Action& action : kActions)
        names.emplace_back(action.name);
    return names;
}

QString CRandomUser::RandomFolder(Rng& rng) const
{
    static const char* const kFolders[]
        = { "disk/a", "disk/b", "disk/a/sub", "disk/b/深", "disk", "missing" };
    return Path(QString::fromUtf8(kFolders[Pick(rng, int(std::size(kFolders)))]));
}

QString CRandomUser::RandomLibrary(Rng& rng, bool forSaving) const
{
    // Saving mostly to good places, sometimes to a missing folder or onto a folder.
    static const char* const kFiles[]
        = { "lib.dli", "one.dli", "two.dli", "nowhere/x.dli", "disk", "junk.dli", "missing.dli" };
    if (Chance(rng, 8))
        return {};
    const int count = forSaving ? (Chance(rng, 90) ? 3 : 5) : int(std::size(kFiles));
    return Path(QString::fromUtf8(kFiles[Pick(rng, count)]));
}

void CRandomUser::Start()
{
    m_dir = std::make_unique<QTemporaryDir>();
    // Recovery copies of this run stay in its folder.
    qputenv("XDG_STATE_HOME", QFile::encodeName(Path(QStringLiteral("state"))));
    m_prompts = std::make_unique<CRandomPrompts>(*this);
    SetPrompts(m_prompts.get());
    m_rng.seed(7);
    // Two source folders with shared, differing and nested files, some
    // with text to extract.
    for (const char* file : { "a/x.txt", "a/报告.doc", "a/sub/x.txt", "a/sub/empty", "b/x.txt",
             "b/深/page.html", "b/深/y.TXT", "b/.hidden", "a/sub/deeper/z.txt", "b/深/更深/x.txt" }) {
        const QString path = Path(QStringLiteral("disk/") + QString::fromUtf8(file));
        QDir().mkpath(QFileInfo(path).path());
        WriteFile(path, QByteArray(file).repeated(Pick(m_rng, 4)));
    }
    for (int i = 0; i < 30; ++i)
        WriteFile(
            Path(QStringLiteral("disk/%1/n%2.txt").arg(QLatin1String(i % 2 ? "a/sub" : "b")).arg(i % 7)),
            QByteArray("text ").repeated(i));
    WriteFile(Path(QStringLiteral("junk.dli")), "not a library at all");
    WriteLibrary(Path(QStringLiteral("lib.dli")), Strings({ "甲", "乙" }));
    GetDialogHooks()
        = DialogHooks { [this](QWidget*) { return RandomFolder(m_rng) + QStringLiteral("/x.txt"); },
              [](QWidget*, const QString&) {}, [](const QUrl&) {} };
    SetDialogRunner([this](QDialog& dialog) {
        if (auto* import = qobject_cast<CImportDlgBase*>(&dialog)) {
            // The drive pickers would offer this machine's disks: the
            // user types a folder of the run instead.
            import->InitDialog();
            import->m_strName = Utf8ToGb(RandomText(m_rng).toStdString());
            import->m_strSource = DiskToGb(QFile::encodeName(RandomFolder(m_rng)).toStdString());
            import->m_bMakeRoot = import->m_bMakeRoot || Chance(m_rng, 40);
            return Chance(m_rng, 85) ? 1 : 2;
        }
        return dialog.exec() == QDialog::Accepted ? 1 : 2;
    });
    auto* answerer = new QTimer(qApp);
    answerer->setObjectName(QStringLiteral("RandomAnswerer"));
    QObject::connect(answerer, &QTimer::timeout, qApp, [this] { AnswerModal(); });
    answerer->start(5);

    StartOptions options;
    options.profilePath = Path(QStringLiteral("Oakbrim.ini"));
    options.registerFileType = false;
    App().InitInstance({ Path(QStringLiteral("lib.dli")) }, options);
    QApplication::setActiveWindow(App().MainFrame());
    m_baseline = LibraryBytes(Doc());
}

void CRandomUser::Stop()
{
    delete qApp->findChild<QTimer*>(QStringLiteral("RandomAnswerer"));
    if (App().MainFrame()) {
        Doc().SetModifiedFlag(false);
        App().ExitInstance();
    }
    SetDialogRunner({});
    GetDialogHooks() = {};
    SetPrompts(nullptr);
    m_dir.reset();
}

void CRandomUser::AnswerModal()
{
    Rng& rng = m_rng;
    if (auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget())) {
        QList<QAction*> actions;
        for (QAction* action : menu->actions())
            if (action->isEnabled() && !action->isSeparator() && !action->menu())
                actions.append(action);
        menu->close();
        // Later, from the event loop: a command that asks something must
        // find this timer free to answer.
        if (!actions.isEmpty() && Chance(rng, 80))
            QMetaObject::invokeMethod(
                actions[Pick(rng, int(actions.size()))], &QAction::trigger, Qt::QueuedConnection);
        return;
    }
    auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
    if (!dialog || !dialog->isVisible())
        return;
    if (qobject_cast<CProgressDlg*>(dialog)) {
        if (Chance(rng, 3))
            dialog->reject();
        return;
    }
    auto tried
        = std::find_if(m_attempts.begin(), m_attempts.end(), [dialog](auto& a) { return a.first == dialog; });
    if (tried == m_attempts.end())
        tried = m_attempts.insert(m_attempts.end(), { dialog, 0 });
    if (++tried->second > 3 || Chance(rng, 30)) {
        dialog->reject();
        return;
    }
    // Fill some fields at random, then press the default button.
    for (QLineEdit* edit : dialog->findChildren<QLineEdit*>())
        if (edit->isVisible() && edit->isEnabled() && !edit->isReadOnly() && Chance(rng, 50))
            edit->setText(Chance(rng, 30)
                    ? RandomFolder(rng) + OneOf<QString>(rng, { {}, QStringLiteral("/x.txt") })
                    : RandomText(rng));
    for (QPlainTextEdit* edit : dialog->findChildren<QPlainTextEdit*>())
        if (edit->isVisible() && !edit->isReadOnly() && Chance(rng, 50))
            edit->setPlainText(RandomText(rng));
    for (QAbstractButton* box : dialog->findChildren<QAbstractButton*>())
        if ((qobject_cast<QCheckBox*>(box) || qobject_cast<QRadioButton*>(box)) && box->isVisible()
            && box->isEnabled() && Chance(rng, 30))
            box->click();
    for (QComboBox* combo : dialog->findChildren<QComboBox*>())
        if (combo->isVisible() && combo->isEnabled() && combo->count() > 0 && Chance(rng, 50))
            combo->setCurrentIndex(Pick(rng, combo->count()));
    for (QDateTimeEdit* date : dialog->findChildren<QDateTimeEdit*>())
        if (date->isVisible() && date->isEnabled() && Chance(rng, 30))
            date->setDate(QDate(1990 + Pick(rng, 50), 1 + Pick(rng, 12), 1 + Pick(rng, 28)));
    for (QAbstractItemView* view : dialog->findChildren<QAbstractItemView*>())
        if (view->isVisible() && view->model() && view->model()->rowCount() > 0 && Chance(rng, 70))
            view->setCurrentIndex(view->model()->index(Pick(rng, view->model()->rowCount()), 0));
    for (QPushButton* button : dialog->findChildren<QPushButton*>())
        if (button->isDefault() && button->isVisible() && button->isEnabled()) {
            ++m_confirmed;
            QMetaObject::invokeMethod(button, &QPushButton::click, Qt::QueuedConnection);
            return;
        }
    if (auto* box = dialog->findChild<QDialogButtonBox*>())
        if (QPushButton* ok = box->button(QDialogButtonBox::Ok); ok && ok->isEnabled()) {
            QMetaObject::invokeMethod(ok, &QPushButton::click, Qt::QueuedConnection);
            return;
        }
    dialog->reject();
}

Step CRandomUser::Choose(Rng& master)
{
    int total = 0;
    std::vector<const Action*> enabled;
    for (const Action& action : kActions)
        if (action.enabled(*this)) {
            enabled.push_back(&action);
            total += action.weight;
        }
    int at = Pick(master, total);
    const std::uint32_t seed = master();
    for (const Action* action : enabled) {
        if (at < action->weight)
            return { action->name, seed };
        at -= action->weight;
    }
    return { enabled.front()->name, seed };
}

std::string CRandomUser::Do(const Step& step)
{
    const auto action = std::find_if(
        std::begin(kActions), std::end(kActions), [&](const Action& a) { return step.action == a.name; });
    if (action == std::end(kActions) || !App().MainFrame() || !action->enabled(*this))
        return {};
    m_rng.seed(step.seed);
    m_attempts.clear();
    m_replaced = false;
    const bool wasModified = Doc().IsModified();
    const QMetaObject::Connection refilled = QObject::connect(
        List().ListModel(), &QAbstractItemModel::modelReset, [this] { m_filtered = false; });
    const QMetaObject::Connection replaced = QObject::connect(
        App().Controller(), &CDocumentController::DocumentReplaced, [this] { m_replaced = true; });
    action->run(*this, m_rng);
    QObject::disconnect(refilled);
    QObject::disconnect(replaced);
    QCoreApplication::processEvents();
    ++m_actionsRun;
    return App().MainFrame() ? Check(wasModified) : std::string("the main window is gone");
}

std::string CRandomUser::Check(bool wasModified)
{
    std::set<const CItem*> alive;
    std::function<void(const CCategory*)> collect = [&](const CCategory* c) {
        alive.insert(c);
        for (const CDatum* d : c->GetDatumList())
            alive.insert(d);
        for (const CCategory* s : c->GetSubCategoryList())
            collect(s);
    };
    for (const CCategory* root : Doc().GetRootList())
        collect(root);
    m_largest = std::max(m_largest, alive.size());

    // The tree: top rows are the roots; every row's category is alive, a
    // child of its parent row's category, and rows follow the list's order.
    const CCategoryTreeModel& model = *Tree().TreeModel();
    const std::vector<QModelIndex> rows = TreeRows();
    if (model.RowMapSize() != rows.size())
        return "tree: the row map holds " + std::to_string(model.RowMapSize()) + " keys for "
            + std::to_string(rows.size()) + " rows";
    if (std::size_t(model.rowCount({})) != Doc().GetRootList().size())
        return "tree: top rows differ from the roots";
    for (const QModelIndex& row : rows) {
        const CCategory* entry = model.EntryAt(row);
        if (!entry || !alive.count(entry))
            return "tree: a row of a destroyed category";
        const CCategory* parent = row.parent().isValid() ? model.EntryAt(row.parent()) : nullptr;
        if (entry->GetParent() != parent)
            return "tree: a row under the wrong parent";
        std::vector<const CCategory*> order;
        if (parent)
            order.assign(parent->GetSubCategoryList().begin(), parent->GetSubCategoryList().end());
        else
            order.assign(Doc().GetRootList().begin(), Doc().GetRootList().end());
        if (row.row() > 0) {
            const CCategory* before = model.EntryAt(row.sibling(row.row() - 1, 0));
            if (std::find(order.begin(), order.end(), before) >= std::find(order.begin(), order.end(), entry))
                return "tree: sibling rows out of the library's order";
        }
    }
    const CCategory* current = Doc().GetCurrentCategory();
    if (current && !alive.count(current))
        return "document: the current category was destroyed";
    if (const CCategory* selected = Tree().SelectedCategory(); selected && selected != current)
        return "tree: the selected row is not the current category";
    // The list: the current category's entries (a filtered part of them),
    // or the roots.
    std::set<const CItem*> shown;
    for (int r = 0; r < List().RowCount(); ++r)
        if (!shown.insert(List().EntryAt(r)).second)
            return "list: an entry shown twice";
    std::set<const CItem*> expected;
    if (List().ShowsRoots()) {
        expected.insert(Doc().GetRootList().begin(), Doc().GetRootList().end());
    } else if (const CCategory* listed = List().ShownCategory()) {
        if (listed != current)
            return "list: shows a category that is not the current one";
        expected.insert(listed->GetSubCategoryList().begin(), listed->GetSubCategoryList().end());
        expected.insert(listed->GetDatumList().begin(), listed->GetDatumList().end());
    }
    if (!std::includes(expected.begin(), expected.end(), shown.begin(), shown.end()))
        return "list: a row that is not the current category's";
    if (!m_filtered && !List().ShowsRoots() && shown != expected)
        return "list: misses entries of the current category";
    // The output bar: live data items only.
    for (int r = 0; r < Bar().RowCount(); ++r)
        if (!alive.count(Bar().ItemAt(r)))
            return "output bar: a row of a destroyed item";
    // The modified flag: an unmodified library is the one last saved or opened.
    const std::string bytes = LibraryBytes(Doc());
    if (!Doc().IsModified() && !wasModified && !m_replaced && bytes != m_baseline)
        return "modified flag: the library changed but is not marked modified";
    if (!Doc().IsModified())
        m_baseline = bytes;
    // Saved and opened again, the library is the same, byte for byte.
    if (!m_savedToCheck.isEmpty()) {
        const QString path = std::exchange(m_savedToCheck, {});
        CTessaryDoc reopened;
        try {
            reopened.OnOpenDocument(QFile::encodeName(path).toStdString());
        } catch (...) {
            return "save: the library shown as saved cannot be opened";
        }
        if (LibraryBytes(reopened) != bytes)
            return "save: the library opened again differs from the one saved";
        const QString again = Path(QStringLiteral("again.dli"));
        reopened.OnSaveDocument(QFile::encodeName(again).toStdString());
        if (ContentsOf(again) != ContentsOf(path))
            return "save: saving the opened library again gives other bytes";
    }
    return {};
}

} // namespace tessary::test
