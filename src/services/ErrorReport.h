#pragma once

#include <QString>

#include <exception>

class QWidget;

namespace tessary {

class FileError;
enum class ArchiveFault;

// Thrown by a command whose failure has already been reported to the user:
// whoever catches it stays silent.
class UserException : public std::exception {
public:
    const char* what() const noexcept override { return "user exception"; }
};

// What is wrong with a library file, in the interface's language (the
// command-line tool keeps the model's English texts).
QString ArchiveFaultMessage(ArchiveFault fault);

// A sentence naming the file and the reason, for a message box.
QString FileErrorMessage(const FileError& error);

// The message for the exception `e` by its kind; empty when nothing is to be
// shown (a user exception). `path` names the library file involved, if any.
QString ExceptionMessage(std::exception_ptr e, const QString& path = QString());

// Reports the exception currently being handled (call inside a catch block)
// by its kind: file and library errors with their own message, memory
// exhaustion with an out-of-memory message, a user exception not at all,
// anything else with "发生错误". Never throws.
void ReportCurrentException(QWidget* parent = nullptr);

} // namespace tessary
