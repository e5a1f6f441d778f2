#include "TessaryApp.h"

#include "Document.h"
#include "DocumentController.h"
#include "ErrorReport.h"
#include "MainFrame.h"
#include "Profile.h"
#include "Recovery.h"
#include "RecoveryKeeper.h"
#include "Registration.h"
#include "ResourceIds.h"
#include "Strings.h"
#include "UserPrompts.h"

#include <QCommandLineParser>
#include <QFile>
#include <QFileInfo>
#include <QLibraryInfo>
#include <QSettings>
#include <QStandardPaths>
#include <QStatusBar>
#include <QUrl>

namespace tessary {

CTessaryApp::CTessaryApp(int& argc, char** argv)
    : QApplication(argc, argv)
{
    InitResources();
    setApplicationName(QStringLiteral("Tessary"));
    // No display name: the window system would append it to every window
    // title, and the caption must read exactly "橡檐 - <title>".
    setApplicationVersion(QStringLiteral("1.1"));
    setDesktopFileName(QStringLiteral("tessary"));
    QIcon icon;
    for (int size : { 16, 32, 48 })
        icon.addFile(QStringLiteral(":/icons/tessary-%1.png").arg(size));
    setWindowIcon(icon);
    // The program speaks Chinese whatever the locale: so do the buttons of
    // its message boxes and Qt's own dialogs ("是(&Y)", "取消", ...). Without
    // Qt's translations installed they stay in English.
    if (m_qtTexts.load(QStringLiteral("qtbase_zh_CN"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        installTranslator(&m_qtTexts);
}

CTessaryApp::~CTessaryApp()
{
    m_recovery.reset();
    m_frame.reset();
    m_controller.reset();
    m_doc.reset();
}

CTessaryApp* CTessaryApp::Instance()
{
    return qobject_cast<CTessaryApp*>(QCoreApplication::instance());
}

bool CTessaryApp::InitInstance(const QStringList& arguments, const StartOptions& options)
{
    m_profilePath = options.profilePath;
    if (m_profilePath.isEmpty())
        m_profilePath = qEnvironmentVariable("TESSARY_PROFILE");
    if (m_profilePath.isEmpty())
        m_profilePath = ProfilePathFor(
            applicationDirPath(), QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation));
    m_profile = std::make_unique<QSettings>(m_profilePath, QSettings::IniFormat);
    SetApplicationProfile(m_profile.get());
    m_helpPath = HelpPathFor(applicationFilePath());

    if (options.registerFileType) {
        const QString dataHome = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
        if (UpdateUserRegistration(dataHome, applicationFilePath()))
            RefreshDesktopDatabases(dataHome);
    }

    QCommandLineParser parser;
    parser.setApplicationDescription(QString::fromUtf8("橡檐: a catalogue of documents on disks and CDs"));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addPositionalArgument(QStringLiteral("library"), QStringLiteral("Library file (.dli) to open"),
        QStringLiteral("[library.dli]"));
    parser.process(QStringList(applicationFilePath()) + arguments);
    const QStringList files = parser.positionalArguments();

    m_doc = std::make_unique<CTessaryDoc>();
    m_controller = std::make_unique<CDocumentController>(*m_doc, *m_profile);
    m_frame = std::make_unique<CMainFrame>(*m_controller, *m_profile, this);
    m_frame->SetHelpPath(m_helpPath);
    m_frame->SetManualPath(ManualPathFor(applicationDirPath(), QStringLiteral(TESSARY_SOURCE_MANUAL_DIR)));
    m_recovery = std::make_unique<CRecoveryKeeper>(*m_doc, *m_controller,
        options.recoveryFolder.isEmpty() ? DefaultRecoveryFolder()
                                         : QFile::encodeName(options.recoveryFolder).toStdString());
    m_recovery->SetWindow(m_frame.get());
    m_recovery->InstallSignalHandlers();
    // Ended from outside (logout, kill): the copy is written already, and
    // nobody is there to answer a question.
    connect(m_recovery.get(), &CRecoveryKeeper::TerminationRequested, this, [this] {
        if (m_frame)
            m_frame->hide();
        QCoreApplication::exit(0);
    });

    // What a crash left behind is offered once the window is up.
    m_recovery->HoldOffers(true);
    connect(m_recovery.get(), &CRecoveryKeeper::CopyFailed, this, [this](const QString& why) {
        if (m_frame)
            m_frame->statusBar()->showMessage(QString::fromUtf8("无法写入恢复副本：%1").arg(why), 10000);
    });

    bool ok = true;
    if (files.isEmpty())
        ok = m_controller->NewDocument();
    else
        ok = m_controller->OpenDocument(QFileInfo(files.first()).absoluteFilePath(), false);
    if (!ok) {
        m_recovery.reset();
        m_frame.reset();
        m_controller.reset();
        m_doc.reset();
        return false;
    }
    m_frame->UpdateCommandUI();
    if (options.show)
        m_frame->show();
    m_recovery->HoldOffers(false);
    if (files.isEmpty())
        m_recovery->OfferAtStart();
    else
        m_recovery->OfferFor(m_controller->PathName());
    return true;
}

bool CTessaryApp::ExitInstance()
{
    // After the event loop has ended the window is already closed (and the
    // user has answered the save question): closing it again would ask twice.
    if (m_frame && m_frame->isVisible() && !m_frame->close())
        return false;
    m_recovery.reset();
    m_frame.reset();
    m_controller.reset();
    m_doc.reset();
    if (m_profile)
        m_profile->sync();
    SetApplicationProfile(nullptr);
    m_profile.reset();
    return true;
}

bool CTessaryApp::QueryCommand(int id, CommandState& state)
{
    switch (id) {
    case ID_FILE_NEW:
    case ID_FILE_OPEN:
    case ID_APP_ABOUT:
    case ID_HOME_PAGE:
    case ID_APP_EXIT:
        state.enabled = true;
        return true;
    default:
        break;
    }
    if (id >= ID_FILE_MRU_FIRST && id < ID_FILE_MRU_FIRST + kRecentFileCount && m_controller) {
        state.enabled = id - ID_FILE_MRU_FIRST < m_controller->RecentFiles().Files().size();
        return true;
    }
    return false;
}

bool CTessaryApp::ExecuteCommand(int id)
{
    switch (id) {
    case ID_FILE_NEW:
        m_controller->NewDocument();
        return true;
    case ID_FILE_OPEN:
        m_controller->OpenWithDialog();
        return true;
    case ID_APP_ABOUT:
        Prompts().ShowAbout(m_frame.get());
        return true;
    case ID_HOME_PAGE:
        OpenHomePage();
        return true;
    case ID_APP_EXIT:
        m_frame->close();
        return true;
    default:
        break;
    }
    if (id >= ID_FILE_MRU_FIRST && id < ID_FILE_MRU_FIRST + kRecentFileCount) {
        m_controller->OpenRecent(id - ID_FILE_MRU_FIRST);
        return true;
    }
    return false;
}

void CTessaryApp::OpenHomePage()
{
    // The address comes from the settings file alone; without one there is
    // nothing to open. It is read as the text it is: parsed as a settings
    // value, an address with a comma would turn into a list.
    m_profile->sync();
    const QString address
        = ReadRawProfileString(m_profile->fileName(), QStringLiteral("URL"), QStringLiteral("SoftwareHome"));
    if (address.isEmpty())
        return;
    Prompts().OpenUrl(QUrl::fromUserInput(address));
}

bool CTessaryApp::notify(QObject* receiver, QEvent* event)
{
    try {
        return QApplication::notify(receiver, event);
    } catch (...) {
        ReportCurrentException(m_frame.get());
        return false;
    }
}

} // namespace tessary
