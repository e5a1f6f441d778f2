#include "GuiTestSupport.h"

#include "Menus.h"
#include "ResourceIds.h"
#include "Strings.h"

#include <QFile>
#include <QIcon>
#include <QSet>

using namespace tessary;

namespace {

// The commands a user can reach by menu (main menu and output bar menu) or
// toolbar button, without separators, the filter field and the spare button.
QSet<int> OfferedCommands()
{
    QSet<int> ids;
    for (auto menus : { MainMenu(), OutputBarMenu() })
        for (const MenuPopup& popup : menus)
            for (const MenuEntry& entry : popup.entries)
                if (entry.id)
                    ids.insert(entry.id);
    for (int id : ToolbarButtons())
        if (id && id != ID_FILTER_FIELD && id != ID_TOOLBAR_SPARE)
            ids.insert(id);
    return ids;
}

} // namespace

class ResourcesTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void PromptAndTooltipSplitAtLineFeed_data()
    {
        QTest::addColumn<int>("id");
        QTest::addColumn<QString>("prompt");
        QTest::addColumn<QString>("tooltip");
        QTest::newRow("new") << ID_FILE_NEW << QString::fromUtf8("建立新文档库") << QString::fromUtf8("新建");
        QTest::newRow("library import")
            << ID_LIBRARY_IMPORT << QString::fromUtf8("把另一个文档信息库导入到当前文档信息库")
            << QString::fromUtf8("导入文档信息库");
        QTest::newRow("clear content shares the extract tooltip")
            << ID_CLEAR_CONTENT << QString::fromUtf8("清空所选项目文件内容") << QString::fromUtf8("提取内容");
        QTest::newRow("delete button has no tooltip")
            << ID_ITEM_DELETE << QString::fromUtf8("删除选中的项目") << QString();
        QTest::newRow("filter has no tooltip")
            << ID_FILTER << QString::fromUtf8("过滤显示当前类别") << QString();
        QTest::newRow("last recent file") << ID_FILE_MRU_LAST << QString::fromUtf8("打开该文档") << QString();
        QTest::newRow("plain string")
            << IDS_SEARCH_RESULT_COUNT << QString::fromUtf8("搜索结果共 %d 个文件") << QString();
    }
    void PromptAndTooltipSplitAtLineFeed()
    {
        QFETCH(int, id);
        QFETCH(QString, prompt);
        QFETCH(QString, tooltip);
        QCOMPARE(StatusPrompt(id), prompt);
        QCOMPARE(ToolTipText(id), tooltip);
    }

    void UnknownStringIsEmpty()
    {
        QVERIFY(!HasString(12345));
        QVERIFY(LoadString(12345).isEmpty());
        QVERIFY(StatusPrompt(ID_TOOLBAR_SPARE).isEmpty());
    }

    void DocumentTemplateHasSevenFields()
    {
        QCOMPARE(LoadString(IDR_MAINFRAME).count(QLatin1Char('\n')), 6);
        QCOMPARE(DocTemplateField(DocField::WindowTitle), QString::fromUtf8("橡檐"));
        QVERIFY(DocTemplateField(DocField::DocName).isEmpty());
        QCOMPARE(DocTemplateField(DocField::FileNewName), QString::fromUtf8("未命名"));
        QCOMPARE(DocTemplateField(DocField::FilterName), QString::fromUtf8("文档库 文件 (*.dli)"));
        QCOMPARE(DocTemplateField(DocField::FilterExt), QStringLiteral(".dli"));
        QCOMPARE(DocTemplateField(DocField::RegFileTypeId), QStringLiteral("Oakbrim.Document"));
        QCOMPARE(DocTemplateField(DocField::RegFileTypeName), QStringLiteral("Tessary Document"));
    }

    // Every entry a user can point at shows a prompt in the status bar.
    void EveryMenuEntryAndButtonHasAPrompt()
    {
        QSet<int> ids = OfferedCommands();
        for (const Accelerator& a : Accelerators())
            ids.insert(a.id);
        for (int id : ids)
            QVERIFY2(!StatusPrompt(id).isEmpty(), qPrintable(QString::number(id)));
    }

    // Alt+letter must lead to one entry: no menu (nor the menu bar) uses a
    // mnemonic twice, and no menu lists a command twice.
    void MnemonicsAndCommandsAreUniqueInEachMenu()
    {
        auto mnemonic = [](const char* text) {
            const QString t = QString::fromUtf8(text);
            const qsizetype amp = t.indexOf(QLatin1Char('&'));
            return amp >= 0 && amp + 1 < t.size() ? t.at(amp + 1).toUpper() : QChar();
        };
        QSet<QChar> bar;
        for (const MenuPopup& popup : MainMenu()) {
            const QChar key = mnemonic(popup.title);
            QVERIFY2(!key.isNull() && !bar.contains(key), popup.title);
            bar.insert(key);
        }
        for (auto menus : { MainMenu(), OutputBarMenu() }) {
            for (const MenuPopup& popup : menus) {
                QSet<QChar> keys;
                QSet<int> ids;
                for (const MenuEntry& entry : popup.entries) {
                    if (!entry.id)
                        continue;
                    QVERIFY2(!ids.contains(entry.id), entry.text);
                    ids.insert(entry.id);
                    const QChar key = mnemonic(entry.text);
                    if (key.isNull())
                        continue;
                    QVERIFY2(!keys.contains(key), entry.text);
                    keys.insert(key);
                }
            }
        }
    }

    // A shortcut shown beside a menu entry works, and every key is bound once.
    void ShortcutsShownInMenusAreBound()
    {
        QSet<QString> keys;
        const QSet<int> commands = OfferedCommands();
        for (const Accelerator& a : Accelerators()) {
            QVERIFY2(!keys.contains(QString::fromLatin1(a.key)), a.key);
            keys.insert(QString::fromLatin1(a.key));
            QVERIFY2(commands.contains(a.id), a.key); // a key for a command no menu or button offers
        }
        for (const MenuPopup& popup : MainMenu()) {
            for (const MenuEntry& entry : popup.entries) {
                if (!entry.key)
                    continue;
                bool bound = false;
                for (const Accelerator& a : Accelerators())
                    bound = bound || (a.id == entry.id && qstrcmp(a.key, entry.key) == 0);
                QVERIFY2(bound, entry.text);
            }
        }
    }

    void MainMenuHasSixPopupsInOrder()
    {
        QStringList titles;
        for (const MenuPopup& popup : MainMenu())
            titles << QString::fromUtf8(popup.title);
        QCOMPARE(titles,
            QStringList({ QString::fromUtf8("文件(&F)"), QString::fromUtf8("搜索(&E)"),
                QString::fromUtf8("类别(&C)"), QString::fromUtf8("资料(&D)"), QString::fromUtf8("查看(&V)"),
                QString::fromUtf8("帮助(&H)") }));
        // The panes' context menus are popups of the main menu.
        QCOMPARE(QString::fromUtf8(MainMenu()[kCategoryPopupIndex].entries[0].text),
            QString::fromUtf8("创建根类(&R)"));
        QCOMPARE(MainMenu()[kDatumPopupIndex].entries.back().id, ID_PROPERTIES);
    }

    // Every button is a command with a prompt and an image; the filter
    // field stands in its own place.
    void ToolbarButtonsAreCommandsWithImages()
    {
        int fields = 0;
        for (int id : ToolbarButtons()) {
            if (id == 0)
                continue;
            if (id == ID_FILTER_FIELD) {
                ++fields;
                continue;
            }
            // The spare button is there by design, with an image and no command.
            QVERIFY2(HasString(id) || id == ID_TOOLBAR_SPARE, qPrintable(QString::number(id)));
            const char* path = ToolbarIconPath(id);
            QVERIFY2(path, qPrintable(QString::number(id)));
            const QIcon icon(QString::fromLatin1(path));
            QCOMPARE(icon.pixmap(16, 16).size(), QSize(16, 16));
        }
        QCOMPARE(fields, 1);
        for (const char* name :
            { ":/icons/tessary-48.png", ":/icons/library-16.png", ":/icons/cdcate-16.png" })
            QVERIFY(QFile::exists(QString::fromLatin1(name)));
    }
};

TESSARY_GUI_TEST_MAIN(ResourcesTest)
#include "ResourcesTest.moc"
