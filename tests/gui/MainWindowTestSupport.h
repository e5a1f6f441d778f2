#pragma once

// Tests that drive the program's main window on a library of their own.

#include "GuiTestSupport.h"

#include "CategoryView.h"
#include "CommandRouter.h"
#include "MainFrame.h"
#include "OutputBar.h"
#include "TessaryView.h"

#include <QApplication>
#include <QTemporaryDir>

#include <memory>

namespace tessary::test {

// The base of such a test: a fresh folder per case, every question answered
// by CFakePrompts, and the program started on a library in that folder with
// its settings file there too. The test class calls SetUpCase from its
// init() and TearDownCase from its cleanup().
class CMainWindowTest : public QObject {
protected:
    std::unique_ptr<QTemporaryDir> m_dir;
    CFakePrompts m_prompts;

    QString Path(const QString& name) const { return m_dir->filePath(name); }
    QString Path(const char* name) const { return Path(QString::fromUtf8(name)); }
    CMainFrame& Frame() const { return *App().MainFrame(); }
    CTessaryDoc& Doc() const { return *App().Document(); }
    CCategoryView& Tree() const { return *Frame().TreeView(); }
    CTessaryView& List() const { return *Frame().ListView(); }
    COutputBar& Bar() const { return *Frame().GetOutputBar(); }
    CCommandRouter& Router() const { return Frame().Router(); }
    // Runs a command as a menu entry would.
    bool Run(int id) { return Router().Execute(id); }
    CCategory* Root(int i = 0) const { return Doc().GetRootList()[static_cast<std::size_t>(i)]; }

    void SetUpCase()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        m_prompts = CFakePrompts();
        SetPrompts(&m_prompts);
    }
    // Closes the program without the question whether to save.
    void TearDownCase()
    {
        if (App().MainFrame()) {
            Doc().SetModifiedFlag(false);
            QVERIFY(App().ExitInstance());
        }
        SetPrompts(nullptr);
    }
    // Starts the program on the library file `name` of the folder, shown and active.
    void StartOn(const char* name)
    {
        StartOptions options;
        options.profilePath = Path("Oakbrim.ini");
        options.registerFileType = false;
        QVERIFY(App().InitInstance({ Path(name) }, options));
        QVERIFY(QTest::qWaitForWindowExposed(App().MainFrame()));
        QApplication::setActiveWindow(&Frame());
    }
};

} // namespace tessary::test
