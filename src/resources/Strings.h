#pragma once

#include <QString>

namespace tessary {

// The string table. Texts are kept as UTF-8 in the source and shown as they
// stand. A command's string holds its status-bar prompt, optionally followed
// by a line feed and its tooltip.

// The whole string of `id`; empty when the table has no such string.
QString LoadString(int id);
// True when the table holds a string for `id`.
bool HasString(int id);
// The part before the line feed: the status-bar prompt of a command.
QString StatusPrompt(int id);
// The part after the line feed: the tooltip of a command (empty if none).
QString ToolTipText(int id);

// One field of the document template string (IDR_MAINFRAME): window title,
// document name, new-file name, filter name, filter extension, file type id,
// file type name.
enum class DocField {
    WindowTitle,
    DocName,
    FileNewName,
    FilterName,
    FilterExt,
    RegFileTypeId,
    RegFileTypeName
};
QString DocTemplateField(DocField field);

// Registers the icons of the resource file; call once before using them.
void InitResources();

} // namespace tessary
