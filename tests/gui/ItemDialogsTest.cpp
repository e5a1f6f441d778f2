#include "GuiTestSupport.h"

#include "Datum.h"
#include "DatumDlg.h"
#include "DialogHooks.h"
#include "EntryDialogs.h"
#include "PropertiesDlg.h"

#include <QApplication>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>

#include <functional>

using namespace tessary;
using test::WhenModalOpens;

namespace {

std::string Gb(const char* utf8)
{
    return Utf8ToGb(utf8);
}

template <class T> T* Control(QWidget& dlg, int id)
{
    auto* w = dlg.findChild<T*>(QString::number(id));
    if (!w)
        qFatal("no control %d", id);
    return w;
}

} // namespace

class ItemDialogsTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void cleanup() { GetDialogHooks() = DialogHooks(); }

    void CreateModeStartsEmptyAndHandsBackWhatWasTyped()
    {
        CDatumDlg dlg;
        dlg.show();
        QCOMPARE(dlg.windowTitle(), QString::fromUtf8("资料"));
        QVERIFY(dlg.LocationField()->text().isEmpty());
        QVERIFY(dlg.RemarkField()->toPlainText().isEmpty());
        dlg.LocationField()->setText(QString::fromUtf8("/data/文档/a.b.txt"));
        dlg.RemarkField()->setPlainText(QStringLiteral("line one\nline two"));
        QTest::mouseClick(Control<QPushButton>(dlg, 1), Qt::LeftButton);
        QCOMPARE(dlg.result(), int(QDialog::Accepted));
        QCOMPARE(dlg.m_strLocation, Gb("/data/文档/a.b.txt"));
        // Remarks keep the line breaks libraries have always stored.
        QCOMPARE(dlg.m_strRemark, std::string("line one\r\nline two"));
    }

    void EditModeChangesLocationAndRemarkButNotSizeOrTime()
    {
        CCustomDatum datum("/docs/a/b.txt");
        datum.m_dwSize = 10;
        datum.m_timeModified = 5;
        datum.m_strRemark = Gb("旧的");
        WhenModalOpens([](QDialog& dlg) {
            QCOMPARE(Control<QLineEdit>(dlg, 1001)->text(), QStringLiteral("/docs/a/b.txt"));
            QCOMPARE(Control<QPlainTextEdit>(dlg, 1003)->toPlainText(), QString::fromUtf8("旧的"));
            Control<QLineEdit>(dlg, 1001)->setText(QStringLiteral("/docs/a/README"));
            Control<QPlainTextEdit>(dlg, 1003)->setPlainText(QString::fromUtf8("新的"));
            QTest::mouseClick(Control<QPushButton>(dlg, 1), Qt::LeftButton);
        });
        QCOMPARE(RunEditDialog(datum, DialogHost {}), 1);
        QCOMPARE(datum.m_strName.str(), std::string("README"));
        QVERIFY(datum.m_strExtension.empty());
        QCOMPARE(datum.m_strFolder.str(), std::string("/docs/a"));
        QCOMPARE(datum.m_strRemark.str(), Gb("新的"));
        QCOMPARE(datum.m_dwSize, 10u);
        QCOMPARE(datum.m_timeModified, 5);

        WhenModalOpens([](QDialog& dlg) {
            Control<QLineEdit>(dlg, 1001)->setText(QStringLiteral("/elsewhere/x.y"));
            Control<QPlainTextEdit>(dlg, 1003)->setPlainText(QStringLiteral("changed"));
            QTest::mouseClick(Control<QPushButton>(dlg, 2), Qt::LeftButton);
        });
        QCOMPARE(RunEditDialog(datum, DialogHost {}), 2);
        QCOMPARE(datum.GetPath(), std::string("/docs/a/README"));
        QCOMPARE(datum.m_strRemark.str(), Gb("新的"));

        // Kinds without an edit dialog are refused.
        CFileDatum file("a.txt");
        QCOMPARE(RunEditDialog(file, DialogHost {}), -1);
    }

    void BrowsingForAFileKeepsTheTypedRemark()
    {
        QStringList answers = { QString::fromUtf8("/home/u/报告.pdf"), QString() };
        GetDialogHooks().chooseAnyFile = [&answers](QWidget*) { return answers.takeFirst(); };
        CDatumDlg dlg;
        dlg.show();
        dlg.RemarkField()->setPlainText(QStringLiteral("typed first"));
        QTest::mouseClick(Control<QPushButton>(dlg, 1002), Qt::LeftButton);
        QCOMPARE(dlg.LocationField()->text(), QString::fromUtf8("/home/u/报告.pdf"));
        QCOMPARE(dlg.RemarkField()->toPlainText(), QStringLiteral("typed first"));
        // A cancelled choice leaves the location as it was.
        QTest::mouseClick(Control<QPushButton>(dlg, 1002), Qt::LeftButton);
        QCOMPARE(dlg.LocationField()->text(), QString::fromUtf8("/home/u/报告.pdf"));
        QVERIFY(answers.isEmpty());
        dlg.accept();
        QCOMPARE(dlg.m_strLocation, Gb("/home/u/报告.pdf"));

        // The picker itself takes a name that does not exist yet.
        QTemporaryDir dir;
        const QString future = dir.filePath(QStringLiteral("later.txt"));
        test::WhenModal<QFileDialog>(
            [&future](QFileDialog* picker) {
                picker->selectFile(future);
                QMetaObject::invokeMethod(picker, "accept");
            },
            true);
        QCOMPARE(RunAnyFileDialog(nullptr), future);
    }

    void PropertiesShowTheEntryAndChangeOnlyTheRemark()
    {
        CCustomDatum datum(Gb("/data/报告.final.doc"));
        datum.m_dwSize = 4294967295u;
        datum.m_strRemark = "a\r\nb";
        {
            CPropertiesDlg dlg(datum);
            dlg.show();
            QCOMPARE(dlg.windowTitle(), QString::fromUtf8("属性"));
            QCOMPARE(dlg.NameField()->text(), QString::fromUtf8("报告.final"));
            QCOMPARE(dlg.SizeField()->text(), QStringLiteral("4294967295"));
            QCOMPARE(dlg.PathField()->text(), QString::fromUtf8("/data/报告.final.doc"));
            QCOMPARE(dlg.RemarkField()->toPlainText(), QStringLiteral("a\nb"));
            for (QLineEdit* field : { dlg.NameField(), dlg.SizeField(), dlg.PathField() })
                QVERIFY(field->isReadOnly());
            QVERIFY(!dlg.RemarkField()->isReadOnly());
            QVERIFY(dlg.findChild<QLabel*>() != nullptr);
            dlg.RemarkField()->setPlainText(QStringLiteral("cancelled"));
            QTest::mouseClick(Control<QPushButton>(dlg, 2), Qt::LeftButton);
            QCOMPARE(dlg.result(), int(QDialog::Rejected));
        }
        QCOMPARE(datum.m_strRemark.str(), std::string("a\r\nb"));
        {
            // OK without an edit keeps the remark's bytes.
            CPropertiesDlg dlg(datum);
            dlg.show();
            QTest::mouseClick(Control<QPushButton>(dlg, 1), Qt::LeftButton);
            QCOMPARE(dlg.result(), int(QDialog::Accepted));
        }
        QCOMPARE(datum.m_strRemark.str(), std::string("a\r\nb"));
        {
            CPropertiesDlg dlg(datum);
            dlg.show();
            dlg.NameField()->setText(QStringLiteral("typed into a read-only field"));
            dlg.RemarkField()->setPlainText(QString::fromUtf8("新\n注释"));
            QTest::mouseClick(Control<QPushButton>(dlg, 1), Qt::LeftButton);
        }
        QCOMPARE(datum.m_strRemark.str(), Gb("新\r\n注释"));
        QCOMPARE(datum.GetPath(), Gb("/data/报告.final.doc"));
        QCOMPARE(datum.m_dwSize, 4294967295u);
    }

    void PropertiesOfACategory()
    {
        CCustomCategory category(Gb("书架"));
        CPropertiesDlg dlg(category);
        dlg.show();
        QCOMPARE(dlg.NameField()->text(), QString::fromUtf8("书架"));
        QCOMPARE(dlg.SizeField()->text(), QStringLiteral("0"));
        dlg.RemarkField()->setPlainText(QStringLiteral("shelf"));
        dlg.accept();
        QCOMPARE(category.m_strRemark.str(), std::string("shelf"));
    }

    void EveryFieldIsNamedForAssistiveTechnology()
    {
        CDatumDlg datum;
        for (int id : { 1001, 1002, 1003 })
            QVERIFY(!Control<QWidget>(datum, id)->accessibleName().isEmpty());
        QCOMPARE(Control<QWidget>(datum, 1001)->accessibleName(), QString::fromUtf8("位置"));
        CCustomCategory category("c");
        CPropertiesDlg properties(category);
        const QStringList names = { QString::fromUtf8("名称"), QString::fromUtf8("大小"),
            QString::fromUtf8("路径"), QString::fromUtf8("备注") };
        const int ids[] = { 1004, 1006, 1008, 1000 };
        for (int i = 0; i < 4; ++i)
            QCOMPARE(Control<QWidget>(properties, ids[i])->accessibleName(), names.at(i));
    }
};

TESSARY_GUI_TEST_MAIN(ItemDialogsTest)
#include "ItemDialogsTest.moc"
