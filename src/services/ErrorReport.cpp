#include "ErrorReport.h"

#include "Archive.h"
#include "DocumentFile.h"
#include "FileError.h"
#include "ResourceIds.h"
#include "Strings.h"
#include "UserPrompts.h"
#include "Volume.h"
#include "VolumeTexts.h"

#include <QFile>

#include <new>

namespace tessary {

QString ArchiveFaultMessage(ArchiveFault fault)
{
    const char* text = "文档库格式错误";
    switch (fault) {
    case ArchiveFault::EndOfFile:
        text = "文件意外结束";
        break;
    case ArchiveFault::BadClass:
        text = "未知的类名";
        break;
    case ArchiveFault::BadSchema:
        text = "不支持的类版本";
        break;
    case ArchiveFault::BadIndex:
        text = "引用了未定义的类";
        break;
    case ArchiveFault::NullTag:
        text = "空对象标记";
        break;
    case ArchiveFault::ObjectReference:
        text = "引用了前面的对象";
        break;
    case ArchiveFault::WrongKind:
        text = "条目的种类与所在列表不符";
        break;
    case ArchiveFault::TooLarge:
        text = "文本或列表超出文档库格式的容量";
        break;
    }
    return QString::fromUtf8(text);
}

QString FileErrorMessage(const FileError& error)
{
    // A file of a volume that is away: which volume to connect.
    if (const auto* offline = dynamic_cast<const VolumeOfflineError*>(&error))
        return offline->Ambiguous() ? LoadString(IDS_VOLUME_AMBIGUOUS) : InsertVolumeText(offline->Record());
    const QString path = QFile::decodeName(QByteArray::fromStdString(error.Path()));
    const char* sentence = nullptr;
    switch (error.Cause()) {
    case FileErrorCause::NotFound:
        sentence = "找不到文件“%1”。";
        break;
    case FileErrorCause::AccessDenied:
        sentence = "没有访问文件“%1”的权限。";
        break;
    case FileErrorCause::SharingViolation:
        sentence = "文件“%1”正被其他程序使用。";
        break;
    case FileErrorCause::DiskFull:
        sentence = "磁盘已满，无法写入文件“%1”。";
        break;
    case FileErrorCause::BadPath:
        sentence = "文件名“%1”无效，或者它所在的文件夹不存在。";
        break;
    case FileErrorCause::TooManyOpenFiles:
        sentence = "打开的文件太多，无法访问文件“%1”。";
        break;
    case FileErrorCause::EndOfFile:
        sentence = "文件“%1”意外结束。";
        break;
    case FileErrorCause::TooLarge:
        sentence = "文件“%1”太大。";
        break;
    case FileErrorCause::NotRegularFile:
        sentence = "“%1”不是一个普通文件。";
        break;
    case FileErrorCause::HardIO:
        sentence = "读写文件“%1”时发生设备错误。";
        break;
    case FileErrorCause::Generic:
        sentence = "访问文件“%1”时出错。";
        break;
    }
    return QString::fromUtf8(sentence).arg(path);
}

QString ExceptionMessage(std::exception_ptr e, const QString& path)
{
    try {
        std::rethrow_exception(e);
    } catch (const UserException&) {
        return {};
    } catch (const FileError& error) {
        return FileErrorMessage(error);
    } catch (const LibraryReadError& error) {
        const QString file = QFile::decodeName(QByteArray::fromStdString(error.Path()));
        const QString detail = ArchiveFaultMessage(error.Fault());
        return QString::fromUtf8("“%1”不是有效的文档库文件（%2，位置 %3）。")
            .arg(file, detail)
            .arg(error.Offset());
    } catch (const ArchiveError& error) {
        const QString detail = ArchiveFaultMessage(error.Fault());
        if (path.isEmpty())
            return QString::fromUtf8("文档库文件格式错误（%1，位置 %2）。").arg(detail).arg(error.Offset());
        return QString::fromUtf8("“%1”不是有效的文档库文件（%2，位置 %3）。")
            .arg(path, detail)
            .arg(error.Offset());
    } catch (const std::bad_alloc&) {
        return QString::fromUtf8("内存不足。");
    } catch (...) {
        return LoadString(IDS_UNKNOWN_ERROR);
    }
}

void ReportCurrentException(QWidget* parent)
{
    try {
        const QString message = ExceptionMessage(std::current_exception());
        if (!message.isEmpty())
            Prompts().ShowMessage(parent, message, IUserPrompts::Icon::Critical);
    } catch (...) {
        // Out of memory while reporting: nothing sensible is left to do.
    }
}

} // namespace tessary
