#include "DialogHooks.h"

#include "Strings.h"

#include <QDesktopServices>
#include <QFileDialog>
#include <QMessageBox>
#include <QUrl>

namespace tessary {

DialogHooks& GetDialogHooks()
{
    static DialogHooks hooks;
    return hooks;
}

QString ChooseAnyFile(QWidget* parent)
{
    if (const auto& hook = GetDialogHooks().chooseAnyFile)
        return hook(parent);
    return RunAnyFileDialog(parent);
}

QString RunAnyFileDialog(QWidget* parent)
{
    QFileDialog dialog(parent, QString::fromUtf8("打开"), QString(), QString::fromUtf8("所有文件 (*)"));
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    // A data item may name a file that is not there (yet): the name is taken
    // as typed.
    dialog.setFileMode(QFileDialog::AnyFile);
    return dialog.exec() == QDialog::Accepted ? dialog.selectedFiles().value(0) : QString();
}

void ShowFieldWarning(QWidget* parent, const QString& text)
{
    if (const auto& hook = GetDialogHooks().showWarning) {
        hook(parent, text);
        return;
    }
    QMessageBox::warning(parent, LoadString(57344), text);
}

bool OfferLink(const QUrl& url)
{
    // The page comes from an extracted file nobody vouches for: a link may
    // name a local program or a script, which must never be started.
    const QString scheme = url.scheme().toLower();
    if (url.isRelative()
        || (scheme != QLatin1String("http") && scheme != QLatin1String("https")
            && scheme != QLatin1String("mailto")))
        return false;
    if (const auto& hook = GetDialogHooks().openLink)
        hook(url);
    else
        QDesktopServices::openUrl(url);
    return true;
}

} // namespace tessary
