#include "UserPrompts.h"

#include "AboutDlg.h"
#include "DialogHooks.h"
#include "ResourceIds.h"
#include "Strings.h"

#include <QDateTime>
#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QLocale>
#include <QMessageBox>
#include <QPushButton>
#include <QUrl>

namespace tessary {
namespace {

QString FileFilters()
{
    return DocTemplateField(DocField::FilterName) + QStringLiteral(";;") + QString::fromUtf8("所有文件 (*)");
}

} // namespace

CLibrarySaveDialog::CLibrarySaveDialog(QWidget* parent, const QString& title, const QString& proposed)
    : QFileDialog(parent, title, proposed, FileFilters())
{
    setAcceptMode(QFileDialog::AcceptSave);
    setFileMode(QFileDialog::AnyFile);
    setDefaultSuffix(QStringLiteral("dli"));
    // The overwrite question is on by default for save dialogs.
}

void CLibrarySaveDialog::accept()
{
    // A folder name opens the folder (the base class does that); a file name
    // must lie in a folder that exists.
    const QFileInfo target(selectedFiles().value(0));
    if (!target.filePath().isEmpty() && !target.isDir() && !target.absoluteDir().exists()) {
        Prompts().ShowMessage(this,
            QString::fromUtf8("%1\n路径不存在。\n请检查路径是否正确。")
                .arg(QDir::toNativeSeparators(target.absolutePath())),
            IUserPrompts::Icon::Warning);
        return;
    }
    QFileDialog::accept();
}

namespace {

class CDialogPrompts : public IUserPrompts {
public:
    SaveAnswer AskSaveChanges(QWidget* parent, const QString& title) override
    {
        const auto answer = QMessageBox::question(parent, LoadString(57344),
            QString::fromUtf8("是否保存对“%1”的更改？").arg(title),
            QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel, QMessageBox::Yes);
        if (answer == QMessageBox::Yes)
            return SaveAnswer::Save;
        if (answer == QMessageBox::No)
            return SaveAnswer::Discard;
        return SaveAnswer::Cancel;
    }

    QString GetOpenFileName(QWidget* parent) override
    {
        QFileDialog dialog(parent, QString::fromUtf8("打开"), QString(), FileFilters());
        dialog.setAcceptMode(QFileDialog::AcceptOpen);
        dialog.setFileMode(QFileDialog::ExistingFile);
        dialog.setDefaultSuffix(QStringLiteral("dli"));
        return dialog.exec() == QDialog::Accepted ? dialog.selectedFiles().value(0) : QString();
    }

    QString GetSaveFileName(QWidget* parent, const QString& proposed) override
    {
        CLibrarySaveDialog dialog(parent, QString::fromUtf8("另存为"), proposed);
        return dialog.exec() == QDialog::Accepted ? dialog.selectedFiles().value(0) : QString();
    }

    QString GetLibraryToImport(QWidget* parent) override
    {
        QFileDialog dialog(parent, LoadString(IDS_IMPORT_FILE), QString(), FileFilters());
        dialog.setAcceptMode(QFileDialog::AcceptOpen);
        dialog.setFileMode(QFileDialog::ExistingFile);
        dialog.setDefaultSuffix(QStringLiteral("dli"));
        return dialog.exec() == QDialog::Accepted ? dialog.selectedFiles().value(0) : QString();
    }

    QString GetExportFileName(QWidget* parent, const QString& proposed) override
    {
        CLibrarySaveDialog dialog(parent, LoadString(IDS_EXPORT_TO), proposed);
        return dialog.exec() == QDialog::Accepted ? dialog.selectedFiles().value(0) : QString();
    }

    QString GetAnyFileName(QWidget* parent) override { return RunAnyFileDialog(parent); }

    QString GetExistingDirectory(QWidget* parent, const QString& title, const QString& start) override
    {
        return QFileDialog::getExistingDirectory(parent, title, start);
    }

    bool AskYesNo(QWidget* parent, const QString& text) override
    {
        QMessageBox box(
            QMessageBox::Warning, LoadString(57344), text, QMessageBox::Yes | QMessageBox::No, parent);
        box.setDefaultButton(QMessageBox::Yes);
        return box.exec() == QMessageBox::Yes;
    }

    int AskChoice(QWidget* parent, const QString& text, const QStringList& choices) override
    {
        QMessageBox box(QMessageBox::Question, LoadString(57344), text, QMessageBox::Cancel, parent);
        QList<QAbstractButton*> buttons;
        for (const QString& choice : choices)
            buttons.append(box.addButton(choice, QMessageBox::AcceptRole));
        if (!buttons.isEmpty())
            box.setDefaultButton(static_cast<QPushButton*>(buttons.front()));
        box.exec();
        return static_cast<int>(buttons.indexOf(box.clickedButton()));
    }

    void ShowMessage(QWidget* parent, const QString& text, Icon icon) override
    {
        const QString caption = LoadString(57344);
        switch (icon) {
        case Icon::Information:
            QMessageBox::information(parent, caption, text);
            break;
        case Icon::Warning:
            QMessageBox::warning(parent, caption, text);
            break;
        case Icon::Critical:
            QMessageBox::critical(parent, caption, text);
            break;
        }
    }

    bool OpenUrl(const QUrl& url) override { return QDesktopServices::openUrl(url); }

    RecoverAnswer AskRecover(QWidget* parent, const QString& library, const QDateTime& saved) override
    {
        QMessageBox box(QMessageBox::Question, QString::fromUtf8("恢复未保存的修改"),
            QString::fromUtf8("文档库“%1”有未保存的修改，保存在 %2 的恢复副本里。\n"
                              "恢复：打开文档库并带回这些修改（仍需保存）；丢弃：删除恢复副本；"
                              "以后再说：保留恢复副本。")
                .arg(library, QLocale().toString(saved, QStringLiteral("yyyy-MM-dd HH:mm:ss"))),
            QMessageBox::NoButton, parent);
        QPushButton* recover = box.addButton(QString::fromUtf8("恢复(&R)"), QMessageBox::AcceptRole);
        QPushButton* discard = box.addButton(QString::fromUtf8("丢弃(&D)"), QMessageBox::DestructiveRole);
        QPushButton* later = box.addButton(QString::fromUtf8("以后再说(&L)"), QMessageBox::RejectRole);
        box.setDefaultButton(recover);
        box.setEscapeButton(later);
        box.exec();
        if (box.clickedButton() == recover)
            return RecoverAnswer::Recover;
        if (box.clickedButton() == discard)
            return RecoverAnswer::Discard;
        return RecoverAnswer::Later;
    }

    void ShowAbout(QWidget* parent) override
    {
        CAboutDlg dlg(parent);
        dlg.exec();
    }
};

IUserPrompts* g_installed = nullptr;

} // namespace

IUserPrompts& Prompts()
{
    static CDialogPrompts dialogs;
    return g_installed ? *g_installed : dialogs;
}

void SetPrompts(IUserPrompts* prompts)
{
    g_installed = prompts;
}

IUserPrompts::RecoverAnswer IUserPrompts::AskRecover(QWidget*, const QString&, const QDateTime&)
{
    return RecoverAnswer::Later;
}

} // namespace tessary
