#pragma once

#include "Category.h"
#include "Document.h"
#include "TessaryApp.h"
#include "TextCodec.h"
#include "UserPrompts.h"

#include <QFile>
#include <QSignalSpy>
#include <QStringList>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

#include <deque>

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
    void ShowMessage(QWidget*, const QString& text, Icon) override { messages.append(text); }
    bool OpenUrl(const QUrl& url) override
    {
        urls.append(url);
        return true;
    }
    void ShowAbout(QWidget*) override { ++aboutShown; }

    std::deque<SaveAnswer> saveAnswers;
    std::deque<QString> openFiles;
    std::deque<QString> saveFiles;
    std::deque<QString> importFiles;
    std::deque<QString> exportFiles;
    std::deque<QString> anyFiles;
    std::deque<QString> folders;
    std::deque<bool> yesNoAnswers; // an empty queue answers No
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

inline void WriteBytes(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

inline CTessaryApp& App()
{
    return *CTessaryApp::Instance();
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
