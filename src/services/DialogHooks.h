#pragma once

#include <QString>

#include <functional>

class QUrl;
class QWidget;

namespace tessary {

// The steps by which the dialogs reach outside themselves: picking a file,
// telling the user that a field must be corrected, and handing a clicked
// link to the desktop. The shell routes them through its own prompts; tests
// replace them so that no modal window opens. A member left empty falls back
// to Qt's own dialogs and the desktop services.
struct DialogHooks {
    // Any existing file (all files, no default extension); empty when cancelled.
    std::function<QString(QWidget* parent)> chooseAnyFile;
    // A warning about input the dialog refuses.
    std::function<void(QWidget* parent, const QString& text)> showWarning;
    // A link the user clicked in the HTML viewer. Only http, https and
    // mailto links ever get here.
    std::function<void(const QUrl& url)> openLink;
};

// The hooks in use (one set for the program).
DialogHooks& GetDialogHooks();

// The hooks' operations, with their fallbacks.
QString ChooseAnyFile(QWidget* parent);
// The fallback of ChooseAnyFile: Qt's open-file dialog for all files.
QString RunAnyFileDialog(QWidget* parent);
void ShowFieldWarning(QWidget* parent, const QString& text);
// Offers `url` to the desktop's browser when its scheme is http, https or
// mailto; anything else (files, scripts, relative links) is ignored.
// Returns true when it was offered.
bool OfferLink(const QUrl& url);

} // namespace tessary
