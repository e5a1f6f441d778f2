#include "DocumentController.h"

#include "Archive.h"
#include "Document.h"
#include "DocumentFile.h"
#include "ErrorReport.h"
#include "FileError.h"
#include "ResourceIds.h"
#include "UserPrompts.h"
#include "VolumeTexts.h"
#include "WaitCursor.h"

#include <QFile>
#include <QFileInfo>
#include <QSettings>

namespace tessary {
namespace {

std::string ToDisk(const QString& path)
{
    return QFile::encodeName(path).toStdString();
}

void ReportFailure(QWidget* window, const char* what, const QString& path, std::exception_ptr e)
{
    QString text = QString::fromUtf8(what).arg(path);
    const QString reason = ExceptionMessage(e, path);
    if (!reason.isEmpty())
        text += QLatin1Char('\n') + reason;
    Prompts().ShowMessage(window, text, IUserPrompts::Icon::Critical);
}

} // namespace

CDocumentController::CDocumentController(CTessaryDoc& doc, QSettings& profile, QObject* parent)
    : QObject(parent)
    , m_doc(doc)
    , m_profile(profile)
    , m_recent(kRecentFileCount)
{
    m_recent.Load(m_profile);
}

QString CDocumentController::PathName() const
{
    return QFile::decodeName(QByteArray::fromStdString(m_doc.GetPathName()));
}

QString CDocumentController::Title() const
{
    return QString::fromStdString(m_doc.GetTitle());
}

bool CDocumentController::SaveModified()
{
    if (!m_doc.IsModified())
        return true;
    const QString name = PathName().isEmpty() ? QString::fromStdString(m_doc.GetPlainTitle()) : PathName();
    switch (Prompts().AskSaveChanges(m_window, name)) {
    case IUserPrompts::SaveAnswer::Save:
        return Save();
    case IUserPrompts::SaveAnswer::Discard:
        return true;
    case IUserPrompts::SaveAnswer::Cancel:
        return false;
    }
    return false;
}

bool CDocumentController::NewDocument()
{
    if (!SaveModified())
        return false;
    const bool ok = m_doc.OnNewDocument();
    Q_EMIT DocumentReplaced();
    m_doc.InitialUpdateAllViews();
    Q_EMIT DocumentStateChanged();
    return ok;
}

bool CDocumentController::ConfirmOpenHeld(const QString& path)
{
    // Two copies of the program saving one library would each overwrite the
    // other's work; the user decides, before anything else changes.
    return !m_doc.IsHeldElsewhere(ToDisk(path))
        || Prompts().AskYesNo(m_window,
            QString::fromUtf8("文档“%1”已在另一个运行中的橡檐里打开。\n在这里也打开它吗？").arg(path));
}

bool CDocumentController::OpenDocument(const QString& path, bool askToSave)
{
    if (!ConfirmOpenHeld(path))
        return false;
    if (askToSave && !SaveModified())
        return false;
    return Load(path);
}

bool CDocumentController::Load(const QString& path)
{
    // The library is replaced only once the file could be opened: a file
    // that is missing or unreadable leaves everything as it was. Whatever
    // points into the old entries lets go as the document destroys them
    // (removal listeners).
    const std::string pathBefore = m_doc.GetPathName();
    const std::string titleBefore = m_doc.GetTitle();
    const std::size_t rootsBefore = m_doc.GetRootCount();
    bool ok = false;
    try {
        CWaitCursor wait;
        m_doc.OnOpenDocument(ToDisk(path));
        m_doc.SetPathName(ToDisk(path));
        ok = true;
    } catch (const FileError&) {
        ReportFailure(m_window, "无法打开文档“%1”。", path, std::current_exception());
    } catch (const LibraryReadError&) {
        m_doc.SetPathName(std::string());
        ReportFailure(m_window, "无法打开文档“%1”。", path, std::current_exception());
    } catch (const ArchiveError&) {
        m_doc.SetPathName(std::string());
        ReportFailure(m_window, "无法打开文档“%1”。", path, std::current_exception());
    }
    if (ok || m_doc.GetPathName() != pathBefore || m_doc.GetTitle() != titleBefore
        || m_doc.GetRootCount() != rootsBefore)
        Q_EMIT DocumentReplaced();
    if (ok) {
        AddRecent(path);
        // Which of its volumes are connected is asked when it opens.
        m_doc.ReadVolumes();
    }
    m_doc.InitialUpdateAllViews();
    Q_EMIT DocumentStateChanged();
    if (ok) {
        ShowReadWarnings(m_window, path, m_doc.GetReadWarnings());
        Q_EMIT DocumentOpened(path);
    }
    return ok;
}

void CDocumentController::AdoptRecoveredRoots(RootList roots)
{
    m_doc.DeleteContents();
    for (std::unique_ptr<CCategory>& root : roots)
        m_doc.AddRoot(root.release());
    m_doc.SetCurrentCategory(nullptr);
    m_doc.SetModifiedFlag(true);
    Q_EMIT DocumentReplaced();
    m_doc.ReadVolumes();
    m_doc.InitialUpdateAllViews();
    Q_EMIT DocumentStateChanged();
}

bool CDocumentController::OpenWithDialog()
{
    const QString path = Prompts().GetOpenFileName(m_window);
    return !path.isEmpty() && OpenDocument(path);
}

bool CDocumentController::OpenRecent(int index)
{
    if (index < 0 || index >= m_recent.Files().size())
        return false;
    const QString path = m_recent.Files().at(index);
    if (!ConfirmOpenHeld(path) || !SaveModified())
        return false;
    const bool ok = Load(path);
    if (!ok)
        RemoveRecent(path);
    return ok;
}

bool CDocumentController::Save()
{
    const QString path = PathName();
    // A file that has gone read-only is saved elsewhere, as the user picks.
    if (path.isEmpty() || (QFileInfo::exists(path) && !QFileInfo(path).isWritable()))
        return SaveAs();
    return DoSave(path);
}

bool CDocumentController::SaveAs()
{
    QString proposed = PathName();
    if (proposed.isEmpty())
        proposed = QString::fromStdString(m_doc.GetPlainTitle()) + QStringLiteral(".dli");
    const QString path = Prompts().GetSaveFileName(m_window, proposed);
    return !path.isEmpty() && DoSave(path);
}

bool CDocumentController::DoSave(const QString& path)
{
    if (m_doc.IsChangedOnDisk(ToDisk(path))
        && !Prompts().AskYesNo(m_window,
            QString::fromUtf8(
                "文档“%1”在打开或上次保存之后已被其他程序修改。\n保存会覆盖那些修改。仍要保存吗？")
                .arg(path)))
        return false;
    bool ok = false;
    try {
        CWaitCursor wait;
        m_doc.OnSaveDocument(ToDisk(path));
        m_doc.SetPathName(ToDisk(path));
        ok = true;
    } catch (const PartialWriteError&) {
        ReportFailure(m_window,
            "无法保存文档“%1”。\n该文件所在的文件夹不可写，文件是在原处改写的，现在可能不完整；"
            "文档库仍然完整地保留在程序中，请另存到其他位置。",
            path, std::current_exception());
    } catch (const FileError&) {
        ReportFailure(m_window, "无法保存文档“%1”。", path, std::current_exception());
    } catch (const ArchiveError&) {
        ReportFailure(m_window, "无法保存文档“%1”。", path, std::current_exception());
    }
    if (ok)
        AddRecent(path);
    Q_EMIT DocumentStateChanged();
    return ok;
}

void CDocumentController::AddRecent(const QString& path)
{
    m_recent.Add(QFileInfo(path).absoluteFilePath());
    m_recent.Save(m_profile);
    Q_EMIT RecentFilesChanged();
}

void CDocumentController::RemoveRecent(const QString& path)
{
    m_recent.Remove(path);
    m_recent.Save(m_profile);
    Q_EMIT RecentFilesChanged();
}

bool CDocumentController::QueryCommand(int id, CommandState& state)
{
    if (id == ID_FILE_SAVE || id == ID_FILE_SAVE_AS) {
        state.enabled = true;
        return true;
    }
    return false;
}

bool CDocumentController::ExecuteCommand(int id)
{
    if (id == ID_FILE_SAVE) {
        Save();
        return true;
    }
    if (id == ID_FILE_SAVE_AS) {
        SaveAs();
        return true;
    }
    return false;
}

} // namespace tessary
