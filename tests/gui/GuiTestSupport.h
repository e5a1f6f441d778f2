#pragma once

#include "Category.h"
#include "Datum.h"
#include "Document.h"
#include "FileSystem.h"
#include "TessaryApp.h"
#include "TextCodec.h"
#include "UserPrompts.h"

#include <QApplication>
#include <QDialog>
#include <QFile>
#include <QSignalSpy>
#include <QStringList>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QUrl>

#include <atomic>
#include <chrono>
#include <deque>
#include <functional>
#include <thread>

namespace tessary::test {

// Answers the shell's questions from queues and records its messages, so no
// modal window ever opens in a test.
class CFakePrompts : public IUserPrompts {
public:
    SaveAnswer AskSaveChanges(QWidget*, const QString& title) override
    {
        saveQuestions.append(title);
        return Take(saveAnswers, SaveAnswer::Cancel);
    }
    QString GetOpenFileName(QWidget*) override { return Take(openFiles, QString()); }
    QString GetSaveFileName(QWidget*, const QString& proposed) override
    {
        proposedNames.append(proposed);
        return Take(saveFiles, QString());
    }
    QString GetLibraryToImport(QWidget*) override { return Take(importFiles, QString()); }
    QString GetExportFileName(QWidget*, const QString& proposed) override
    {
        proposedNames.append(proposed);
        return Take(exportFiles, QString());
    }
    QString GetAnyFileName(QWidget*) override { return Take(anyFiles, QString()); }
    QString GetExistingDirectory(QWidget*, const QString& title, const QString&) override
    {
        folderTitles.append(title);
        return Take(folders, QString());
    }
    bool AskYesNo(QWidget*, const QString& text) override
    {
        questions.append(text);
        return Take(yesNoAnswers, false);
    }
    int AskChoice(QWidget*, const QString& text, const QStringList&) override
    {
        questions.append(text);
        return Take(choiceAnswers, 0);
    }
    void ShowMessage(QWidget*, const QString& text, Icon) override { messages.append(text); }
    bool OpenUrl(const QUrl& url) override
    {
        urls.append(url);
        return true;
    }
    void ShowAbout(QWidget*) override { ++aboutShown; }
    RecoverAnswer AskRecover(QWidget*, const QString& library, const QDateTime&) override
    {
        recoverOffers.append(library);
        return Take(recoverAnswers, RecoverAnswer::Later);
    }

    std::deque<SaveAnswer> saveAnswers;
    std::deque<QString> openFiles;
    std::deque<QString> saveFiles;
    std::deque<QString> importFiles;
    std::deque<QString> exportFiles;
    std::deque<QString> anyFiles;
    std::deque<QString> folders;
    std::deque<bool> yesNoAnswers; // an empty queue answers No
    std::deque<int> choiceAnswers; // an empty queue answers the first choice
    std::deque<RecoverAnswer> recoverAnswers; // an empty queue answers Later
    QStringList recoverOffers;
    QStringList questions;
    QStringList folderTitles;
    QStringList saveQuestions;
    QStringList proposedNames;
    QStringList messages;
    QList<QUrl> urls;
    int aboutShown = 0;

private:
    template <class T> static T Take(std::deque<T>& queue, T fallback)
    {
        if (queue.empty())
            return fallback;
        T value = queue.front();
        queue.pop_front();
        return value;
    }
};

// Writes a library with one custom root category per name.
inline void WriteLibrary(const QString& path, const QStringList& rootNames)
{
    CTessaryDoc doc;
    doc.OnNewDocument();
    for (const QString& name : rootNames)
        doc.AddRoot(new CCustomCategory(Utf8ToGb(name.toStdString())));
    doc.OnSaveDocument(QFile::encodeName(path).toStdString());
}

// One line per entry of the subtree, depth first, with everything the
// library stores of it: kind, name and remark of categories; display name,
// size, time, remark and content of data items.
inline void DescribeTree(const CCategory& c, int depth, QStringList& out)
{
    const QString indent(depth * 2, QLatin1Char(' '));
    out.append(indent
        + QStringLiteral("%1 [%2] |%3|")
              .arg(QString::fromStdString(GbToUtf8(c.m_strName.view())))
              .arg(int(c.GetClassId()))
              .arg(QString::fromStdString(GbToUtf8(c.m_strRemark.view()))));
    for (const CDatum* d : c.GetDatumList())
        out.append(indent
            + QStringLiteral("- %1 %2 %3 |%4|%5|")
                  .arg(QString::fromStdString(GbToUtf8(d->GetDisplayName())))
                  .arg(d->m_dwSize)
                  .arg(d->m_timeModified)
                  .arg(QString::fromStdString(GbToUtf8(d->m_strRemark.view())),
                      QString::fromLatin1(QByteArray::fromStdString(d->m_strContent.str()).toHex())));
    for (const CCategory* s : c.GetSubCategoryList())
        DescribeTree(*s, depth + 1, out);
}

inline QStringList DescribeTree(const CCategory& c)
{
    QStringList out;
    DescribeTree(c, 0, out);
    return out;
}

// Holds every folder listing after the first two until Open(), so that a
// scan is caught in the middle.
class CGateFs : public PosixFileSystem {
public:
    long GetDents(int dirFd, char* buf, std::size_t size) override
    {
        if (m_calls.fetch_add(1) >= 2)
            while (!m_open.load())
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
        return PosixFileSystem::GetDents(dirFd, buf, size);
    }
    void Open() { m_open.store(true); }

private:
    std::atomic<int> m_calls { 0 };
    std::atomic<bool> m_open { false };
};

// A string list from UTF-8 literals.
inline QStringList Strings(std::initializer_list<const char*> items)
{
    QStringList list;
    for (const char* item : items)
        list.append(QString::fromUtf8(item));
    return list;
}

inline void WriteBytes(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

// The whole file at `path` (empty when it cannot be read).
inline QByteArray ContentsOf(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

inline CTessaryApp& App()
{
    return *CTessaryApp::Instance();
}

// Runs `step` on the modal window of type T as soon as one is up (the code
// under test runs its own event loop meanwhile). With `cancelIfLeftOpen`, a
// dialog the step leaves open is cancelled, so that a step that fails
// half-way ends the test instead of hanging it.
template <class T = QWidget> void WhenModal(std::function<void(T*)> step, bool cancelIfLeftOpen = false)
{
    auto* timer = new QTimer(qApp);
    timer->setInterval(5);
    QObject::connect(timer, &QTimer::timeout, qApp, [timer, step, cancelIfLeftOpen] {
        QWidget* modal = QApplication::activeModalWidget();
        if (auto* wanted = qobject_cast<T*>(modal)) {
            timer->stop();
            timer->deleteLater();
            step(wanted);
            if (auto* dialog = qobject_cast<QDialog*>(modal);
                cancelIfLeftOpen && dialog && dialog->isVisible())
                dialog->reject();
        }
    });
    timer->start();
}

inline void WhenModal(std::function<void(QWidget*)> step, bool cancelIfLeftOpen = false)
{
    WhenModal<QWidget>(std::move(step), cancelIfLeftOpen);
}

// Plays the user in the next modal dialog; a dialog left open is cancelled.
inline void WhenModalOpens(std::function<void(QDialog&)> interact)
{
    WhenModal<QDialog>([interact](QDialog* dialog) { interact(*dialog); }, true);
}

} // namespace tessary::test

// A test program whose application object is the real one, so that event
// delivery goes through the program's own guard.
#define TESSARY_GUI_TEST_MAIN(TestClass)                                                                     \
    int main(int argc, char** argv)                                                                          \
    {                                                                                                        \
        tessary::CTessaryApp app(argc, argv);                                                                \
        TestClass tc;                                                                                        \
        return QTest::qExec(&tc, argc, argv);                                                                \
    }
