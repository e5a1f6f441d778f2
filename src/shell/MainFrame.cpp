#include "MainFrame.h"

#include "CategoryView.h"
#include "CmdManager.h"
#include "CommandRouter.h"
#include "DialogHooks.h"
#include "Document.h"
#include "DocumentController.h"
#include "EntryServices.h"
#include "ErrorReport.h"
#include "Menus.h"
#include "MountWatcher.h"
#include "OutputBar.h"
#include "PaneCommandRunner.h"
#include "ResourceIds.h"
#include "Strings.h"
#include "TessaryView.h"
#include "UserPrompts.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QMimeData>
#include <QSettings>
#include <QShortcut>
#include <QSplitter>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QUrl>

namespace tessary {
namespace {

bool Contains(QWidget* outer, QWidget* w)
{
    return outer && w && (outer == w || outer->isAncestorOf(w));
}

// Keeps a toolbar button from showing a tooltip. A button whose command
// string has no tooltip part shows none, while Qt would show its text.
class CNoToolTip : public QObject {
public:
    using QObject::QObject;
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::ToolTip)
            return true;
        return QObject::eventFilter(watched, event);
    }
};

// The first local file among the dropped URLs, or empty.
QString DroppedFile(const QMimeData* mime)
{
    if (!mime || !mime->hasUrls())
        return {};
    for (const QUrl& url : mime->urls())
        if (url.isLocalFile())
            return url.toLocalFile();
    return {};
}

} // namespace

CMainFrame::CMainFrame(
    CDocumentController& controller, QSettings& profile, ICommandTarget* appTarget, QWidget* parent)
    : QMainWindow(parent)
    , m_controller(controller)
    , m_doc(controller.Document())
    , m_profile(profile)
    , m_appTarget(appTarget)
{
    setObjectName(QStringLiteral("MainFrame"));
    m_entryServices = std::make_unique<CShellEntryServices>(m_icons, DialogHost { this, &m_profile });
    SetEntryServices(m_entryServices.get());
    // The dialogs ask and tell the user through the shell's prompts.
    DialogHooks& hooks = GetDialogHooks();
    hooks.chooseAnyFile = [](QWidget* parent) { return Prompts().GetAnyFileName(parent); };
    hooks.showWarning = [](QWidget* parent, const QString& text) {
        Prompts().ShowMessage(parent, text, IUserPrompts::Icon::Warning);
    };
    hooks.openLink = [](const QUrl& url) { Prompts().OpenUrl(url); };

    m_router = new CCommandRouter(this);
    m_router->SetRoute([this] { return Route(); });
    m_router->SetReporter([this] { ReportCurrentException(this); });
    m_commandManager = std::make_unique<CNullCommandTarget>();

    RestoreWindowRect();
    CreateClient();
    CreateMenus();
    CreateToolBar();
    CreateStatusBar();
    CreateOutputBar();
    // The command manager, first in the route, acts on both panes and the
    // output bar.
    SetCommandManager(std::make_unique<CCmdManager>(*m_treeView, *m_listView, *m_outputBar));
    RestoreBarState();
    setAcceptDrops(true);
    m_controller.SetWindow(this);

    connect(m_router, &CCommandRouter::CommandFinished, this, &CMainFrame::UpdateCaption);
    connect(&m_controller, &CDocumentController::DocumentStateChanged, this, &CMainFrame::UpdateCaption);
    connect(&m_controller, &CDocumentController::DocumentReplaced, this, [this] {
        m_outputBar->Clear();
        m_filterField->clear();
    });
    connect(&m_controller, &CDocumentController::RecentFilesChanged, this, &CMainFrame::UpdateRecentFileMenu);
    connect(qApp, &QApplication::focusChanged, this, [this](QWidget*, QWidget* now) {
        if (!now)
            return;
        if (Contains(m_treeView->Widget(), now))
            m_activePane = m_treeView;
        else if (Contains(m_listView->Widget(), now))
            m_activePane = m_listView;
    });

    // Discs and drives come and go: the tree shows which imported
    // categories can be reached now.
    auto* mounts = new CMountWatcher(this);
    connect(mounts, &CMountWatcher::MountsChanged, this, [this] {
        m_doc.ReadVolumes();
        m_treeView->RefreshVolumeRows();
    });

    // The toolbar is always in sight, so its buttons follow the state of the
    // program while it is idle; menus are refreshed when they open.
    m_idleTimer = new QTimer(this);
    connect(m_idleTimer, &QTimer::timeout, this, [this] {
        m_router->UpdateActions(m_toolBarActions);
        UpdateCaption();
    });
    m_idleTimer->start(250);
    UpdateCommandUI();
}

CMainFrame::~CMainFrame()
{
    // The panes go after this body; focus moving away from a dying pane must
    // not reach the pane pointers.
    disconnect(qApp, nullptr, this, nullptr);
    m_idleTimer->stop();
    if (GetEntryServices() == m_entryServices.get())
        SetEntryServices(nullptr);
    // The command manager refers to the panes: it goes first.
    m_commandManager.reset();
    m_outputBar->SetViews(nullptr, nullptr);
}

void CMainFrame::SetCommandManager(std::unique_ptr<ICommandTarget> manager)
{
    m_commandManager = manager ? std::move(manager) : std::make_unique<CNullCommandTarget>();
}

std::vector<ICommandTarget*> CMainFrame::Route()
{
    return { m_commandManager.get(), m_outputBar, m_activePane, &m_controller, this, m_appTarget };
}

ICategoryPane* CMainFrame::TreePane() const
{
    return m_treeView;
}

IItemListPane* CMainFrame::ListPane() const
{
    return m_listView;
}

void CMainFrame::CreateClient()
{
    m_splitter = new QSplitter(Qt::Horizontal, this);
    m_splitter->setObjectName(QStringLiteral("Splitter"));
    m_splitter->setChildrenCollapsible(false);
    auto* tree = new CCategoryView(m_doc, m_splitter);
    auto* list = new CTessaryView(m_doc, m_splitter);
    list->SetTreeView(tree);
    m_paneCommands = std::make_unique<CPaneCommandRunner>(*tree, *list, m_doc);
    tree->SetPaneCommands(m_paneCommands.get());
    list->SetPaneCommands(m_paneCommands.get());
    m_treeView = tree;
    m_listView = list;
    m_activePane = m_treeView;
    const auto icon = [this](int index) { return m_icons.Icon(index); };
    m_treeView->SetIconSource(icon);
    m_listView->SetIconSource(icon);
    const auto contextMenu = [this](int popupIndex, const QPoint& at) { ShowContextMenu(popupIndex, at); };
    m_treeView->SetContextMenuHandler(contextMenu);
    m_listView->SetContextMenuHandler(contextMenu);
    list->LoadColumnWidths(m_profile);
    m_splitter->addWidget(tree);
    m_splitter->addWidget(list);
    // The tree keeps its width when the window grows.
    m_splitter->setStretchFactor(0, 0);
    m_splitter->setStretchFactor(1, 1);
    setCentralWidget(m_splitter);

    const int treeWidth = m_profile.value(QStringLiteral("LeftWindowStatus/Width"), 100).toInt();
    m_splitter->setSizes({ treeWidth > 0 ? treeWidth : 100, qMax(1, width() - treeWidth) });
}

void CMainFrame::CreateMenus()
{
    const auto popups = MainMenu();
    for (const tessary::MenuPopup& popup : popups) {
        QMenu* menu = menuBar()->addMenu(QString::fromUtf8(popup.title));
        for (const MenuEntry& entry : popup.entries) {
            if (entry.id == 0) {
                menu->addSeparator();
                continue;
            }
            if (entry.id == ID_FILE_MRU_FIRST) {
                // The recent files take the place of the placeholder entry.
                for (int i = 0; i < kRecentFileCount; ++i)
                    menu->addAction(m_router->Action(ID_FILE_MRU_FIRST + i, QString::fromUtf8(entry.text)));
                continue;
            }
            QAction* action = m_router->Action(entry.id, QString::fromUtf8(entry.text));
            if (entry.key)
                action->setShortcut(QKeySequence(QString::fromLatin1(entry.key)));
            menu->addAction(action);
        }
        m_router->WatchMenu(menu);
        m_popups.append(menu);
    }
    UpdateRecentFileMenu();

    // Keys whose command shows no key in its menu entry (or has no entry).
    for (const Accelerator& acc : Accelerators()) {
        const QKeySequence key(QString::fromLatin1(acc.key));
        QAction* action = m_router->FindAction(acc.id);
        if (action && action->shortcut() == key)
            continue;
        auto* shortcut = new QShortcut(key, this);
        const int id = acc.id;
        connect(shortcut, &QShortcut::activated, m_router, [this, id] { m_router->Execute(id); });
    }
}

void CMainFrame::UpdateRecentFileMenu()
{
    const QStringList& files = m_controller.RecentFiles().Files();
    for (int i = 0; i < kRecentFileCount; ++i) {
        QAction* action = m_router->Action(ID_FILE_MRU_FIRST + i);
        if (i < files.size()) {
            QString shown = files.at(i);
            shown.replace(QLatin1Char('&'), QStringLiteral("&&"));
            action->setText(QStringLiteral("&%1 %2").arg(i + 1).arg(shown));
            action->setVisible(true);
        } else {
            // With no recent files the first entry stays as a greyed
            // placeholder.
            action->setText(QString::fromUtf8("最近文件"));
            action->setVisible(i == 0 && files.isEmpty());
        }
    }
}

void CMainFrame::CreateToolBar()
{
    m_toolBar = new QToolBar(this);
    m_toolBar->setObjectName(QStringLiteral("ToolBar"));
    m_toolBar->setWindowTitle(QString::fromUtf8("工具栏"));
    m_toolBar->setIconSize(QSize(16, 16));
    // Screen readers name every control: the button that shows the buttons
    // a narrow window hides has no text of its own.
    if (auto* more = m_toolBar->findChild<QToolButton*>(QStringLiteral("qt_toolbar_ext_button")))
        more->setAccessibleName(QString::fromUtf8("更多按钮"));
    for (int id : ToolbarButtons()) {
        if (id == 0) {
            m_toolBar->addSeparator();
        } else if (id == ID_FILTER_FIELD) {
            m_filterField = new QLineEdit(m_toolBar);
            m_filterField->setObjectName(QString::number(ID_FILTER_FIELD));
            m_filterField->setFixedWidth(150);
            m_filterField->setAccessibleName(QString::fromUtf8("过滤"));
            m_filterField->setAccessibleDescription(StatusPrompt(ID_FILTER));
            m_toolBar->addWidget(m_filterField);
        } else {
            QAction* action = m_router->Action(id);
            m_toolBar->addAction(action);
            m_toolBarActions.append(action);
            QWidget* button = m_toolBar->widgetForAction(action);
            if (ToolTipText(id).isEmpty())
                button->installEventFilter(new CNoToolTip(m_toolBar));
            // The one button no command stands behind still needs a name.
            if (action->text().isEmpty())
                button->setAccessibleName(QString::fromUtf8("未使用"));
        }
    }
    addToolBar(Qt::TopToolBarArea, m_toolBar);
    // The filter button follows the field at once rather than at the next
    // idle refresh.
    connect(m_filterField, &QLineEdit::textChanged, this,
        [this] { m_router->UpdateActions({ m_router->Action(ID_FILTER) }); });
    // Enter in the field filters as the button does.
    connect(m_filterField, &QLineEdit::returnPressed, m_router, [this] { m_router->Execute(ID_FILTER); });
}

void CMainFrame::CreateStatusBar()
{
    QStatusBar* bar = statusBar();
    bar->setObjectName(QStringLiteral("StatusBar"));
    // A normal widget of the status bar: hidden while a command's prompt is
    // shown, back when the prompt goes.
    m_messagePane = new QLabel(LoadString(IDS_IDLE_MESSAGE), bar);
    bar->addWidget(m_messagePane, 1);
    for (int id : { IDS_INDICATOR_CAPS, IDS_INDICATOR_NUM, IDS_INDICATOR_SCRL }) {
        auto* indicator = new QLabel(LoadString(id), bar);
        indicator->setObjectName(QString::number(id));
        // Lock key states are not available portably: the indicators stay
        // in their "off" look.
        indicator->setEnabled(false);
        indicator->setFrameShape(QFrame::Panel);
        indicator->setFrameShadow(QFrame::Sunken);
        bar->addPermanentWidget(indicator);
    }
}

void CMainFrame::CreateOutputBar()
{
    m_outputBar = new COutputBar(this);
    m_outputBar->SetDocument(&m_doc);
    m_outputBar->SetViews(m_treeView, m_listView);
    m_outputBar->SetIconSource([this](int index) { return m_icons.Icon(index); });
    m_outputBar->LoadColumnWidths(m_profile);
    addDockWidget(Qt::BottomDockWidgetArea, m_outputBar);
    m_outputBar->hide();

    // Its context menu routes like the main menu: entries the bar does not
    // handle itself reach the command manager.
    const tessary::MenuPopup& popup = OutputBarMenu().front();
    auto* menu = new QMenu(QString::fromUtf8(popup.title), this);
    for (const MenuEntry& entry : popup.entries)
        menu->addAction(m_router->Action(entry.id, QString::fromUtf8(entry.text)));
    m_router->WatchMenu(menu);
    m_outputBar->SetContextMenu(menu);
}

QMenu* CMainFrame::MenuPopup(int index) const
{
    return m_popups.value(index);
}

void CMainFrame::InitPopupMenu(QMenu* menu)
{
    m_router->UpdateActions(menu->actions());
}

void CMainFrame::ShowContextMenu(int popupIndex, const QPoint& globalPos)
{
    QMenu* menu = MenuPopup(popupIndex);
    if (!menu)
        return;
    InitPopupMenu(menu);
    menu->exec(globalPos);
}

void CMainFrame::UpdateCommandUI()
{
    m_router->UpdateAllActions();
    UpdateCaption();
}

void CMainFrame::UpdateCaption()
{
    const QString caption = LoadString(IDS_APP_TITLE) + QStringLiteral(" - ") + m_controller.Title();
    if (windowTitle() != caption)
        setWindowTitle(caption);
}

bool CMainFrame::QueryCommand(int id, CommandState& state)
{
    switch (id) {
    case ID_VIEW_OUTPUT_BAR:
    case ID_VIEW_TOOLBAR:
    case ID_VIEW_STATUS_BAR: {
        QWidget* bar = id == ID_VIEW_OUTPUT_BAR ? static_cast<QWidget*>(m_outputBar)
            : id == ID_VIEW_TOOLBAR             ? static_cast<QWidget*>(m_toolBar)
                                                : static_cast<QWidget*>(statusBar());
        state.enabled = true;
        state.checkable = true;
        state.checked = !bar->isHidden();
        return true;
    }
    case ID_HELP:
        state.enabled = true;
        return true;
    case ID_FILTER:
        state.enabled = !m_filterField->text().isEmpty();
        return true;
    default:
        return false;
    }
}

bool CMainFrame::ExecuteCommand(int id)
{
    switch (id) {
    case ID_VIEW_OUTPUT_BAR:
        m_outputBar->setVisible(m_outputBar->isHidden());
        return true;
    case ID_VIEW_TOOLBAR:
        m_toolBar->setVisible(m_toolBar->isHidden());
        return true;
    case ID_VIEW_STATUS_BAR:
        statusBar()->setVisible(statusBar()->isHidden());
        return true;
    case ID_HELP:
        ShowHelp();
        return true;
    case ID_FILTER:
        m_listView->FilterRows(m_filterField->text());
        return true;
    default:
        return false;
    }
}

void CMainFrame::ShowHelp()
{
    // A help file beside the program comes first; the manual that came with
    // the program opens in the desktop's browser otherwise.
    for (const QString& path : { m_helpPath, m_manualPath }) {
        if (!path.isEmpty() && QFileInfo(path).isFile()) {
            Prompts().OpenUrl(QUrl::fromLocalFile(path));
            return;
        }
    }
    Prompts().ShowMessage(
        this, LoadString(IDS_NOT_FOUND) + QLatin1Char('\n') + m_manualPath, IUserPrompts::Icon::Warning);
}

void CMainFrame::closeEvent(QCloseEvent* event)
{
    if (!m_controller.SaveModified()) {
        event->ignore();
        return;
    }
    SaveLayout();
    event->accept();
}

void CMainFrame::dragEnterEvent(QDragEnterEvent* event)
{
    if (!DroppedFile(event->mimeData()).isEmpty())
        event->acceptProposedAction();
}

void CMainFrame::dropEvent(QDropEvent* event)
{
    const QString path = DroppedFile(event->mimeData());
    if (path.isEmpty())
        return;
    event->acceptProposedAction();
    activateWindow();
    // Opening may show message boxes: not from inside the drop handler,
    // where the dragging program still waits for an answer.
    QTimer::singleShot(0, this, [this, path] {
        try {
            m_controller.OpenDocument(path);
        } catch (...) {
            ReportCurrentException(this);
        }
        UpdateCaption();
    });
}

} // namespace tessary
