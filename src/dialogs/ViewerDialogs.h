#pragma once

#include "ViewerDlg.h"

#include <QList>
#include <QTextBrowser>
#include <QUrl>

namespace tessary {

class CTextPane;

// The text viewer (dialog 135, no title): a text shown read-only over the
// whole window, with the caret at its start and nothing selected. It shows
// remarks and the content of data items that are not HTML pages. Its
// rectangle is kept in the profile section "ViewTextRemarkForm".
class CViewTextRemarkDlg : public CViewerDlg {
    Q_OBJECT
public:
    // `profile` is not owned and may be null.
    CViewTextRemarkDlg(QWidget* parent, QSettings* profile);

    void SetText(const QString& text);
    CTextPane* Pane() const { return m_pane; }

private:
    CTextPane* m_pane;
};

// A page view for untrusted HTML: it loads no resource of any kind (no
// image, style sheet or frame from the network or the disk), runs no script
// and never follows a link by itself. A clicked http, https or mailto link
// is offered to the desktop's browser (OfferLink); other links do nothing.
class CSafeBrowser : public QTextBrowser {
    Q_OBJECT
public:
    explicit CSafeBrowser(QWidget* parent = nullptr);

    QVariant loadResource(int type, const QUrl& name) override;
    // Every resource the page asked for and did not get, in order.
    const QList<QUrl>& RefusedResources() const { return m_refused; }

private:
    QList<QUrl> m_refused;
};

// The HTML viewer (dialog 108, "查看注释"): a text rendered as an HTML page
// over the whole window. Its rectangle is kept in the profile section
// "ViewRemarkForm".
class CViewRemarkDlg : public CViewerDlg {
    Q_OBJECT
public:
    // `html` is the page's source; `profile` is not owned and may be null.
    CViewRemarkDlg(const QString& html, QWidget* parent, QSettings* profile);

    CSafeBrowser* Browser() const { return m_browser; }

private:
    CSafeBrowser* m_browser;
};

} // namespace tessary
