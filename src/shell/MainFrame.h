#pragma once

#include "CommandTarget.h"
#include "IconList.h"
#include "PaneCommands.h"

#include <QMainWindow>

#include <memory>

class QLabel;
class QLineEdit;
class QMenu;
class QSettings;
class QSplitter;
class QTimer;
class QToolBar;

namespace tessary {

class CCategoryView;
class CCommandRouter;
class CDocumentController;
class COutputBar;
class CTessaryDoc;
class ICategoryPane;
class IEntryServices;
class IItemListPane;
class IPaneView;
class CTessaryView;

// The main window: menus, the toolbar with its filter field, the status bar,
// the category tree and the item list side by side, and the output bar docked
// below. It owns the command manager and routes every command id in this
// order: command manager, output bar, active pane, document, frame,
// application.
//
// The window's rectangle, the tree pane's size and the bars' state are read
// from the profile when the frame is made and written when it closes.
class CMainFrame : public QMainWindow, public ICommandTarget {
    Q_OBJECT
public:
    // `appTarget` is the last target of the route (not owned, may be null).
    CMainFrame(CDocumentController& controller, QSettings& profile, ICommandTarget* appTarget,
        QWidget* parent = nullptr);
    ~CMainFrame() override;

    // Installs the command manager, the first target of the route. The frame
    // owns it from now on.
    void SetCommandManager(std::unique_ptr<ICommandTarget> manager);
    ICommandTarget* CommandManager() const { return m_commandManager.get(); }

    CCommandRouter& Router() const { return *m_router; }
    COutputBar* GetOutputBar() const { return m_outputBar; }
    ICategoryPane* TreePane() const;
    IItemListPane* ListPane() const;
    // The same two panes as what they are.
    CCategoryView* TreeView() const { return m_treeView; }
    CTessaryView* ListView() const { return m_listView; }
    // The pane asked about commands: the one that had the focus last.
    IPaneView* ActivePane() const { return m_activePane; }
    void SetActivePane(IPaneView* pane) { m_activePane = pane; }
    QSplitter* Splitter() const { return m_splitter; }
    QToolBar* ToolBar() const { return m_toolBar; }
    QLineEdit* FilterField() const { return m_filterField; }
    QLabel* MessagePane() const { return m_messagePane; }
    CIconList& Icons() { return m_icons; }

    // The help command opens the help file `path` when it exists, otherwise
    // the user manual `manualPath`; when neither exists it says so, naming
    // the manual.
    void SetHelpPath(const QString& path) { m_helpPath = path; }
    void SetManualPath(const QString& manualPath) { m_manualPath = manualPath; }

    // A popup of the main menu by position (2: "类别", 3: "资料"), for the
    // panes' context menus.
    QMenu* MenuPopup(int index) const;
    // Refreshes the enable state of `menu`'s entries before it shows; the
    // panes call it for their context menus.
    void InitPopupMenu(QMenu* menu);
    // Opens popup `popupIndex` of the main menu at `globalPos` as a context
    // menu, its entries brought up to date first (the panes' context menus).
    void ShowContextMenu(int popupIndex, const QPoint& globalPos);
    // Refreshes every action's enable and check state and the caption.
    void UpdateCommandUI();
    void UpdateCaption();

    bool QueryCommand(int id, CommandState& state) override;
    bool ExecuteCommand(int id) override;

    // No menu of the program lists the bars: right-clicking the toolbar or
    // the menu bar shows nothing (the bars are switched in the View menu).
    QMenu* createPopupMenu() override { return nullptr; }

protected:
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void CreateClient();
    void CreateMenus();
    void CreateToolBar();
    void CreateStatusBar();
    void CreateOutputBar();
    void UpdateRecentFileMenu();
    void ShowHelp();
    std::vector<ICommandTarget*> Route();
    // Persistence (MainFrameLayout.cpp).
    void RestoreWindowRect();
    void RestoreBarState();
    void SaveLayout();

    CDocumentController& m_controller;
    CTessaryDoc& m_doc;
    QSettings& m_profile;
    ICommandTarget* m_appTarget;

    CIconList m_icons;
    std::unique_ptr<IEntryServices> m_entryServices;
    // The panes' rename, delete and edit commands, lent to both panes.
    std::unique_ptr<IPaneCommands> m_paneCommands;
    CCommandRouter* m_router = nullptr;
    QSplitter* m_splitter = nullptr;
    CCategoryView* m_treeView = nullptr;
    CTessaryView* m_listView = nullptr;
    IPaneView* m_activePane = nullptr;
    QToolBar* m_toolBar = nullptr;
    QLineEdit* m_filterField = nullptr;
    QLabel* m_messagePane = nullptr;
    COutputBar* m_outputBar = nullptr;
    QList<QMenu*> m_popups;
    QList<QAction*> m_toolBarActions;
    QTimer* m_idleTimer = nullptr;
    QString m_helpPath;
    QString m_manualPath;
    std::unique_ptr<ICommandTarget> m_commandManager;
};

} // namespace tessary
