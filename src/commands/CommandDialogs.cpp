#include "CommandDialogs.h"

#include "ImportDialogs.h"
#include "Profile.h"

namespace tessary {
namespace {

DialogRunner& Installed()
{
    static DialogRunner runner;
    return runner;
}

} // namespace

int RunDialog(QDialog& dialog)
{
    if (const DialogRunner& runner = Installed())
        return runner(dialog);
    if (auto* import = qobject_cast<CImportDlgBase*>(&dialog))
        return import->DoModal();
    return dialog.exec() == QDialog::Accepted ? 1 : 2;
}

DialogRunner SetDialogRunner(DialogRunner runner)
{
    DialogRunner previous = std::move(Installed());
    Installed() = std::move(runner);
    return previous;
}

QSettings* ViewerProfile()
{
    return ApplicationProfile();
}

} // namespace tessary
