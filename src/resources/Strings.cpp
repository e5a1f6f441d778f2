#include "Strings.h"

#include "ResourceIds.h"

#include <QStringList>

#include <algorithm>
#include <iterator>

namespace tessary {
namespace {

struct StringEntry {
    int id;
    const char* text;
};

// Sorted by id for the binary search below.
constexpr StringEntry kStrings[] = {
    { IDR_MAINFRAME, "橡檐\n\n未命名\n文档库 文件 (*.dli)\n.dli\nOakbrim.Document\nTessary Document" },
    { 32771, "建立新的子类别\n新建子类" },
    { 32772, "编辑选中的类名\n修改类名" },
    { 32773, "删除选中类别\n删除类别" },
    { 32774, "建立新资料\n新建资料" },
    { 32775, "编辑选中资料\n编辑资料" },
    { 32776, "删除选中资料\n删除资料" },
    { 32779, "建立新的根类别\n新建根类" },
    { 32782, "导入盘苻内容\n导入盘苻" },
    { 32783, "导入光驱内容\n导入光驱" },
    { 32788, "查看文件属性\n文件属性" },
    { 32791, "显示或隐藏输出栏\n开关输出栏" },
    { 32792, "搜索分类\n搜索" },
    { 32795, "把另一个文档信息库导入到当前文档信息库\n导入文档信息库" },
    { 32796, "导出当前类别为文档库\n导出" },
    { 32797, "从磁盘刷新选中的类别，保留注释和内容\n刷新" },
    { 32810, "在整个文档库中按名称查找，随输入显示结果\n快速查找" },
    { 32820, "查找文件名和大小相同的重复文件\n查找重复文件" },
    { 32821, "查找选中类别中在别处没有副本的文件\n查找唯一文件" },
    { 40001, "导入目录内容\n导入目录" },
    { 40003, "打开当前选中的信息项所关连的文件或文件夹\n打开" },
    { 40004, "浏览当前选中的信息项所关连的文件或文件夹\n浏览" },
    { 40007, "提取所选项目文件内容\n提取内容" },
    { 40008, "查看注释\n查看注释" },
    { 40010, "删除选中的项目" },
    { 40011, "编辑选中项目" },
    { 40013, "查看内容\n查看内容" },
    { 40014, "提取内容\n提取内容" },
    { 40015, "删除选中的项目\n删除" },
    { 40017, "清空所选项目文件内容\n提取内容" },
    { 40018, "清空所选项目文件内容\n提取内容" },
    { 40020, "连接到软件的主页\n软件主页" },
    { 40021, "向上移动选中的项目" },
    { 40022, "向下移动选中的项目" },
    { 40024, "过滤显示当前类别" },
    { 57344, "橡檐" },
    { 57345, "就绪" },
    { 57600, "建立新文档库\n新建" },
    { 57601, "打开一个现有文档库\n打开" },
    { 57603, "保存活动文档库\n保存" },
    { 57604, "将活动文档以一个新文件名保存\n另存为" },
    { 57616, "打开该文档" },
    { 57617, "打开该文档" },
    { 57618, "打开该文档" },
    { 57619, "打开该文档" },
    { 57620, "打开该文档" },
    { 57621, "打开该文档" },
    { 57622, "打开该文档" },
    { 57623, "打开该文档" },
    { 57624, "打开该文档" },
    { 57625, "打开该文档" },
    { 57626, "打开该文档" },
    { 57627, "打开该文档" },
    { 57628, "打开该文档" },
    { 57629, "打开该文档" },
    { 57630, "打开该文档" },
    { 57631, "打开该文档" },
    { 57642, "选择整个文档\n选择全部" },
    { 57664, "显示程序信息，版本号和版权\n关于" },
    { 57665, "退出应用程序；提示保存文档\n退出" },
    { 57670, "打开帮助文件\n帮助" },
    { 59137, "大写" },
    { 59138, "数字" },
    { 59139, "滚动" },
    { 59392, "显示或隐藏工具栏\n显隐工具栏" },
    { 59393, "显示或隐藏状态栏\n显隐状态栏" },
    { 61446, "发生错误" },
    { 61448, "选择导入目录" },
    { 61449, "名称" },
    { 61450, "大小" },
    { 61451, "没有找到" },
    { 61453, "类型" },
    { 61461, "导出到" },
    { 61462, "导入文件" },
    { 61472, "新建分类" },
    { 61500, "光盘" },
    { 61501, "分类" },
    { 61502, "文档" },
    { 61503, "磁盘" },
    { 61504, "文档" },
    { 61505, "文件夹" },
    { 61506, "文件夹分类" },
    { 61507, "你确信要删除吗？" },
    { 61508, "最后修改" },
    { 61510, "位置" },
    { 61511, "搜索结果共 %d 个文件" },
    { 61630, "快速查找（名称）" },
    { 61631, "快速查找" },
    { 61632,
        "在整个文档库中查找名称（含扩展名）包含所有输入词的文件，不分英文大小写。\n"
        "ext:pdf  扩展名是 pdf（多个用逗号隔开：ext:jpg,png）\n"
        "in:名称  只找名为“名称”的根类或类别之下的文件\n"
        "rem:词  注释中含有该词\n"
        ">10M  <1K  按文件大小（单位 K、M、G）\n"
        "\"两个 词\"  含空格的词用引号括起\n"
        "Ctrl+E 回到此处，↓ 进入结果，Enter 显示文件所在位置，Esc 清空" },
    { 61633, "正在查找..." },
    { 61660, "重复文件 %d 组，共 %d 个文件，多占 %s" },
    { 61661, "只有一份的文件共 %d 个，共 %s" },
    { 61662, "查找重复文件" },
    { 61663, "查找唯一文件" },
    { 61664, "正在比较文档库中的文件……" },
    { 61665, "重复文件第 %d 组" },
    { 61666, "最小文件大小必须是 0 到 4294967295 之间的整数。" },
};

static_assert(std::is_sorted(std::begin(kStrings), std::end(kStrings),
    [](const StringEntry& a, const StringEntry& b) { return a.id < b.id; }));

const StringEntry* Find(int id)
{
    auto it = std::lower_bound(std::begin(kStrings), std::end(kStrings), id,
        [](const StringEntry& e, int key) { return e.id < key; });
    return it != std::end(kStrings) && it->id == id ? it : nullptr;
}

} // namespace

QString LoadString(int id)
{
    const StringEntry* e = Find(id);
    return e ? QString::fromUtf8(e->text) : QString();
}

bool HasString(int id)
{
    return Find(id) != nullptr;
}

QString StatusPrompt(int id)
{
    const QString s = LoadString(id);
    return s.section(QLatin1Char('\n'), 0, 0);
}

QString ToolTipText(int id)
{
    const QString s = LoadString(id);
    const qsizetype lf = s.indexOf(QLatin1Char('\n'));
    return lf < 0 ? QString() : s.mid(lf + 1);
}

QString DocTemplateField(DocField field)
{
    return LoadString(IDR_MAINFRAME).split(QLatin1Char('\n')).value(static_cast<int>(field));
}

} // namespace tessary
