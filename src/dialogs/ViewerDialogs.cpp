#include "ViewerDialogs.h"

#include "DialogHooks.h"
#include "TextPane.h"

#include <QImage>
#include <QTextDocument>

namespace tessary {
namespace {

QVariant BlankResource()
{
    QImage blank(1, 1, QImage::Format_ARGB32);
    blank.fill(Qt::transparent);
    return QVariant(blank);
}

} // namespace

CViewTextRemarkDlg::CViewTextRemarkDlg(QWidget* parent, QSettings* profile)
    : CViewerDlg(QStringLiteral("ViewTextRemarkForm"), profile, parent)
{
    setObjectName(QStringLiteral("135"));
    // The window has no caption. An empty title would not do: the window
    // system would be given the program's name instead; a zero-width space
    // shows nothing. Assistive technology reads the accessible name.
    setWindowTitle(QString(QChar(0x200B)));
    setAccessibleName(QString::fromUtf8("查看"));
    m_pane = new CTextPane(this);
    m_pane->setObjectName(QStringLiteral("1010"));
    m_pane->setAccessibleName(QString::fromUtf8("文本"));
    SetControl(m_pane);
}

void CViewTextRemarkDlg::SetText(const QString& text)
{
    m_pane->SetText(text);
    m_pane->setFocus();
}

CSafeBrowser::CSafeBrowser(QWidget* parent)
    : QTextBrowser(parent)
{
    setOpenLinks(false);
    setOpenExternalLinks(false);
    // The document asks its resource provider before anything else, and
    // falls back to reading local files itself when given nothing (images
    // even by their bare names): so every request is answered here, with a
    // blank image, which also stands for any other kind of resource.
    document()->setResourceProvider([this](const QUrl& url) {
        m_refused.append(url);
        return BlankResource();
    });
    connect(this, &QTextBrowser::anchorClicked, this, [](const QUrl& url) { OfferLink(url); });
}

QVariant CSafeBrowser::loadResource(int, const QUrl& name)
{
    m_refused.append(name);
    return BlankResource();
}

CViewRemarkDlg::CViewRemarkDlg(const QString& html, QWidget* parent, QSettings* profile)
    : CViewerDlg(QStringLiteral("ViewRemarkForm"), profile, parent)
{
    setObjectName(QStringLiteral("108"));
    setWindowTitle(QString::fromUtf8("查看注释"));
    m_browser = new CSafeBrowser(this);
    m_browser->setObjectName(QStringLiteral("ViewRemark"));
    m_browser->setAccessibleName(QString::fromUtf8("查看注释"));
    SetControl(m_browser);
    m_browser->setHtml(html);
}

} // namespace tessary
