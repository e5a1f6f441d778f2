#include "QuickFindField.h"

#include "QuickFinder.h"
#include "ResourceIds.h"
#include "Strings.h"
#include "TextCodec.h"

#include <QKeyEvent>
#include <QTimer>

namespace tessary {

CQuickFindField::CQuickFindField(QWidget* parent)
    : QLineEdit(parent)
    , m_pump(new QTimer(this))
    , m_check(new QTimer(this))
{
    setObjectName(QString::number(ID_QUICK_FIND));
    setPlaceholderText(LoadString(IDS_QUICK_FIND_PLACEHOLDER));
    setAccessibleName(LoadString(IDS_QUICK_FIND_NAME));
    setAccessibleDescription(LoadString(IDS_QUICK_FIND_TIP));
    setToolTip(LoadString(IDS_QUICK_FIND_TIP));
    setClearButtonEnabled(true);
    m_pump->setSingleShot(true);
    m_pump->setInterval(0);
    m_check->setInterval(500);
    connect(m_pump, &QTimer::timeout, this, &CQuickFindField::Pump);
    connect(m_check, &QTimer::timeout, this, &CQuickFindField::Pump);
    connect(this, &QLineEdit::textChanged, this, &CQuickFindField::OnTextChanged);
}

CQuickFindField::~CQuickFindField()
{
    m_finder.reset(); // joins the worker before the field goes
}

void CQuickFindField::SetDocument(CTessaryDoc* doc)
{
    m_finder.reset();
    Reset();
    if (!doc) {
        m_check->stop();
        return;
    }
    // The worker's call comes from its own thread: it only queues a slice
    // here, which Qt drops if the field is gone by then.
    m_finder = std::make_unique<CQuickFinder>(
        *doc, [this] { QMetaObject::invokeMethod(this, &CQuickFindField::Pump, Qt::QueuedConnection); });
    m_check->start();
}

void CQuickFindField::SetHandlers(
    std::function<void(std::vector<CItem*>)> found, std::function<void()> emptied, std::function<void()> busy)
{
    m_found = std::move(found);
    m_emptied = std::move(emptied);
    m_busy = std::move(busy);
}

void CQuickFindField::Reset()
{
    if (m_finder)
        m_finder->Cancel();
    m_resetting = true;
    clear();
    m_resetting = false;
}

void CQuickFindField::LibraryChanged()
{
    if (m_finder && !m_check->isActive())
        m_check->start();
}

void CQuickFindField::OnTextChanged(const QString& text)
{
    if (m_resetting || !m_finder)
        return;
    const CQuickQuery query = CQuickQuery::Parse(Utf8ToGb(text.toStdString()));
    if (query.IsEmpty()) {
        m_finder->Cancel();
        if (m_emptied)
            m_emptied();
        return;
    }
    m_finder->Find(query);
    Pump();
    if (m_finder->Busy() && m_busy)
        m_busy();
}

void CQuickFindField::Pump()
{
    if (!m_finder)
        return;
    const bool more = m_finder->Step(std::chrono::milliseconds(kSliceMs));
    if (std::optional<std::vector<CItem*>> rows = m_finder->TakeResult(); rows && m_found)
        m_found(std::move(*rows));
    if (more && !m_pump->isActive())
        m_pump->start();
    // Once the index is ready, only a change of the library (told through
    // LibraryChanged, or met by the next lookup) calls for another look.
    if (m_finder->IndexReady() && !m_finder->Busy())
        m_check->stop();
    else if (!m_check->isActive())
        m_check->start();
}

void CQuickFindField::keyPressEvent(QKeyEvent* event)
{
    if (event->modifiers() == Qt::NoModifier) {
        if (event->key() == Qt::Key_Down && m_moveDown) {
            m_moveDown();
            return;
        }
        if (event->key() == Qt::Key_Escape && !text().isEmpty()) {
            clear();
            return;
        }
    }
    QLineEdit::keyPressEvent(event);
}

} // namespace tessary
