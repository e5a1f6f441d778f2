#pragma once

#include <functional>

class QDialog;
class QSettings;

namespace tessary {

// How the commands run their modal dialogs. By default a dialog runs
// modally (an import dialog through its DoModal); a test installs a runner
// that fills the dialog's members and answers without showing anything.
//
// The runner returns 1 for OK and 2 for Cancel.
using DialogRunner = std::function<int(QDialog& dialog)>;

// Runs `dialog` through the installed runner.
int RunDialog(QDialog& dialog);
// Installs `runner` (empty: the default) and returns the one it replaces.
DialogRunner SetDialogRunner(DialogRunner runner);

// The profile in which the viewers keep their rectangles: the running
// program's, or null (then they open at their default place).
QSettings* ViewerProfile();

} // namespace tessary
