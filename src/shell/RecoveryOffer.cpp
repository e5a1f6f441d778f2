// Offering the recovery copies that an ended program left behind.

#include "Document.h"
#include "DocumentController.h"
#include "ErrorReport.h"
#include "FileError.h"
#include "Recovery.h"
#include "RecoveryKeeper.h"
#include "UserPrompts.h"

#include <QDateTime>
#include <QFile>

namespace tessary {

namespace {

QString Shown(const std::string& diskPath)
{
    return QFile::decodeName(QByteArray::fromStdString(diskPath));
}

} // namespace

bool CRecoveryKeeper::OfferAtStart()
{
    for (const RecoveryCopy& copy : ListRecoveryCopies(m_folder))
        if (IsNewerThanLibrary(copy) && Offer(copy, true))
            return true;
    return false;
}

void CRecoveryKeeper::OfferFor(const QString& path)
{
    if (m_offering || m_offersHeld)
        return;
    const std::string library = QFile::encodeName(path).toStdString();
    for (const RecoveryCopy& copy : ListRecoveryCopies(m_folder))
        if (SameLibrary(copy.library, library) && IsNewerThanLibrary(copy) && Offer(copy, false))
            return;
}

bool CRecoveryKeeper::Offer(const RecoveryCopy& copy, bool openLibrary)
{
    const QString library
        = copy.library.empty() ? QString::fromUtf8(CDocumentBase::DefaultTitle()) : Shown(copy.library);
    const QDateTime saved = QDateTime::fromMSecsSinceEpoch(copy.savedNs / 1'000'000);
    switch (Prompts().AskRecover(m_window, library, saved)) {
    case IUserPrompts::RecoverAnswer::Later:
        return false;
    case IUserPrompts::RecoverAnswer::Discard:
        RemoveRecoveryCopy(copy.copyPath);
        return false;
    case IUserPrompts::RecoverAnswer::Recover:
        break;
    }

    // The copy is read first: one that cannot be read leaves the library as
    // it is, and stays for another try.
    RootList roots;
    try {
        roots = ReadLibraryFile(copy.copyPath);
    } catch (...) {
        const QString reason = ExceptionMessage(std::current_exception(), Shown(copy.copyPath));
        Prompts().ShowMessage(m_window,
            QString::fromUtf8("无法读取恢复副本“%1”。").arg(Shown(copy.copyPath))
                + (reason.isEmpty() ? QString() : QLatin1Char('\n') + reason),
            IUserPrompts::Icon::Critical);
        return false;
    }

    // The library itself is opened as it is on disk (never written), then
    // its entries are replaced by the copy's. A library that is gone, or
    // cannot be opened, comes back without a file, to be saved anew.
    // No copy is taken meanwhile: the library is replaced in two steps.
    m_offering = true;
    bool opened = !openLibrary;
    if (openLibrary && !copy.library.empty() && QFile::exists(Shown(copy.library)))
        opened = m_controller.OpenDocument(Shown(copy.library), false);
    if (!opened)
        m_controller.NewDocument();
    m_controller.AdoptRecoveredRoots(std::move(roots));
    m_offering = false;

    AbandonSnapshot();
    JoinWorker();
    if (m_file)
        m_file->Remove();
    m_file.reset();
    // The copy holds exactly what the library now holds: it stays, kept by
    // this program, until the library is saved or closed.
    // One whose library has gone now belongs to the library without a file.
    try {
        m_file = std::make_unique<CRecoveryFile>(copy);
        if (!SameLibrary(copy.library, m_doc.GetPathName()))
            m_file->Retarget(m_doc.GetPathName());
        m_startedSerial = m_doc.GetChangeSerial();
        m_writtenSerial.store(m_startedSerial);
    } catch (const FileError&) {
        m_file.reset();
        // another program took it meanwhile: ours is written anew
    }
    return true;
}

} // namespace tessary
