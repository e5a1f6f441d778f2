#include "Menus.h"

#include "ResourceIds.h"

namespace tessary {
namespace {

constexpr MenuEntry kFileMenu[] = {
    { ID_FILE_NEW, "新建(&N)", "Ctrl+N" },
    { ID_FILE_OPEN, "打开(&O)...", "Ctrl+O" },
    { ID_FILE_SAVE, "保存(&S)", "Ctrl+S" },
    { ID_FILE_SAVE_AS, "另存为(&A)...", nullptr },
    { 0, nullptr, nullptr },
    { ID_LIBRARY_IMPORT, "导入(&I)...", nullptr },
    { ID_LIBRARY_EXPORT, "导出(&E)...", nullptr },
    { 0, nullptr, nullptr },
    { ID_FILE_MRU_FIRST, "最近文件", nullptr },
    { 0, nullptr, nullptr },
    { ID_APP_EXIT, "退出(&X)", nullptr },
};

constexpr MenuEntry kSearchMenu[] = {
    { ID_SEARCH, "搜索(&S)...", nullptr },
    { ID_QUICK_FIND, "快速查找(&Q)", "Ctrl+E" },
    { 0, nullptr, nullptr },
    { ID_FIND_DUPLICATES, "查找重复文件(&D)...", nullptr },
    { ID_FIND_UNIQUE, "查找唯一文件(&U)...", nullptr },
};

constexpr MenuEntry kCategoryMenu[] = {
    { ID_CATEGORY_NEW_ROOT, "创建根类(&R)", nullptr },
    { ID_CATEGORY_NEW_SUB, "创建子类(&S)", nullptr },
    { ID_CATEGORY_RENAME, "修改类名(&E)", nullptr },
    { ID_CATEGORY_DELETE, "删除类别(&D)", nullptr },
    { 0, nullptr, nullptr },
    { ID_IMPORT_FOLDER, "导入目录(&F)...", nullptr },
    { ID_IMPORT_CD, "导入光盘(&C)...", nullptr },
    { ID_IMPORT_DRIVE, "导入盘苻(&V)...", nullptr },
    { ID_CATEGORY_REFRESH, "刷新(&U)...", nullptr },
    { ID_CATEGORY_LINK_VOLUME, "关联卷(&L)...", nullptr },
};

constexpr MenuEntry kDatumMenu[] = {
    { ID_DATUM_NEW, "创建资料(&A)...", nullptr },
    { ID_DATUM_EDIT, "编辑资料(&E)...", nullptr },
    { ID_DATUM_DELETE, "删除资料(&D)", nullptr },
    { 0, nullptr, nullptr },
    { ID_OPEN_FILE, "打开文件(&O)", nullptr },
    { ID_EXPLORE, "浏览项目(&X)", nullptr },
    { ID_EXTRACT_CONTENT, "提取内容(&T)", nullptr },
    { ID_CLEAR_CONTENT, "清空内容(&M)", nullptr },
    { ID_VIEW_CONTENT, "查看内容(&C)...", nullptr },
    { ID_VIEW_REMARK, "查看注释(&V)...", nullptr },
    { 0, nullptr, nullptr },
    { ID_PROPERTIES, "属性(&P)...", nullptr },
};

constexpr MenuEntry kViewMenu[] = {
    { ID_VIEW_TOOLBAR, "工具栏(&T)", nullptr },
    { ID_VIEW_STATUS_BAR, "状态栏(&S)", nullptr },
    { ID_VIEW_OUTPUT_BAR, "输出栏(&O)", nullptr },
};

constexpr MenuEntry kHelpMenu[] = {
    { ID_HELP, "帮助(&H)", nullptr },
    { ID_HOME_PAGE, "软件主页(&P)", nullptr },
    { 0, nullptr, nullptr },
    { ID_APP_ABOUT, "关于 橡檐(&A)...", nullptr },
};

constexpr MenuPopup kMainMenu[] = {
    { "文件(&F)", kFileMenu },
    { "搜索(&E)", kSearchMenu },
    { "类别(&C)", kCategoryMenu },
    { "资料(&D)", kDatumMenu },
    { "查看(&V)", kViewMenu },
    { "帮助(&H)", kHelpMenu },
};

constexpr MenuEntry kResultMenu[] = {
    { ID_EDIT_SELECT_ALL, "选择全部(&A)", nullptr },
    { ID_RESULT_EXTRACT, "提取内容(&T)", nullptr },
    { ID_RESULT_CLEAR, "清空内容(&M)", nullptr },
    { ID_RESULT_DELETE, "删除(&D)", nullptr },
};

constexpr MenuPopup kOutputMenu[] = {
    { "列表菜单", kResultMenu },
};

constexpr Accelerator kAccelerators[] = {
    { "Ctrl+F", ID_SEARCH },
    { "Ctrl+E", ID_QUICK_FIND },
    { "Ctrl+N", ID_FILE_NEW },
    { "Ctrl+O", ID_FILE_OPEN },
    { "Ctrl+S", ID_FILE_SAVE },
    { "Del", ID_ITEM_DELETE },
    { "F2", ID_EXTRACT_CONTENT },
    { "F3", ID_VIEW_CONTENT },
    { "F1", ID_HELP },
};

constexpr int kToolbar[] = {
    ID_FILE_NEW,
    ID_FILE_OPEN,
    ID_FILE_SAVE,
    0,
    ID_ITEM_EDIT,
    ID_ITEM_DELETE,
    ID_MOVE_UP,
    ID_MOVE_DOWN,
    0,
    ID_OPEN_FILE,
    ID_VIEW_CONTENT,
    ID_EXPLORE,
    ID_VIEW_REMARK,
    ID_EXTRACT_CONTENT,
    ID_TOOLBAR_SPARE,
    0,
    ID_FILTER_FIELD,
    ID_FILTER,
};

struct IconPath {
    int id;
    const char* path;
};

constexpr IconPath kIcons[] = {
    { ID_FILE_NEW, ":/toolbar/new.png" },
    { ID_FILE_OPEN, ":/toolbar/open.png" },
    { ID_FILE_SAVE, ":/toolbar/save.png" },
    { ID_ITEM_EDIT, ":/toolbar/edit.png" },
    { ID_ITEM_DELETE, ":/toolbar/delete.png" },
    { ID_MOVE_UP, ":/toolbar/up.png" },
    { ID_MOVE_DOWN, ":/toolbar/down.png" },
    { ID_OPEN_FILE, ":/toolbar/openfile.png" },
    { ID_VIEW_CONTENT, ":/toolbar/content.png" },
    { ID_EXPLORE, ":/toolbar/explore.png" },
    { ID_VIEW_REMARK, ":/toolbar/remark.png" },
    { ID_EXTRACT_CONTENT, ":/toolbar/extract.png" },
    { ID_TOOLBAR_SPARE, ":/toolbar/spare.png" },
    { ID_FILTER, ":/toolbar/filter.png" },
};

} // namespace

std::span<const MenuPopup> MainMenu()
{
    return kMainMenu;
}
std::span<const MenuPopup> OutputBarMenu()
{
    return kOutputMenu;
}
std::span<const Accelerator> Accelerators()
{
    return kAccelerators;
}
std::span<const int> ToolbarButtons()
{
    return kToolbar;
}

const char* ToolbarIconPath(int id)
{
    for (const IconPath& icon : kIcons)
        if (icon.id == id)
            return icon.path;
    return nullptr;
}

} // namespace tessary
