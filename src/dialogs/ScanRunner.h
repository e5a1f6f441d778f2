#pragma once

#include "Scan.h"

#include <QString>

#include <functional>
#include <memory>
#include <string>
#include <string_view>

class QWidget;

namespace tessary {

class CPathCategory;
class CProgressDlg;

// The progress window of a job that runs on a worker thread: its names (for
// tests and assistive technology), the bar's range (0: a busy bar), and
// what it calls on the user-interface thread while the job runs: `cancel`
// once when the user cancels, `cancelled` at the end, `show` every tenth of
// a second to write the job's figures into the window. The calls must only
// read figures that the job publishes safely (atomics, a mutex).
struct WorkerJobWindow {
    QString objectName;
    QString countName;
    QString itemName;
    int maximum = 0;
    std::function<void()> cancel;
    std::function<bool()> cancelled;
    std::function<void(CProgressDlg& window)> show;
};

// Runs `job` on a worker thread while a progress window, modal over
// `parent`'s window, shows its figures with a Cancel button; the event loop
// keeps running, so the windows repaint, and the worker never touches a
// widget. A job that ends within a few tens of milliseconds ends before any
// window shows. Cancel keeps the window up until the job has returned.
//
// Returns when the job has returned and its thread has ended: true when it
// was not cancelled. An exception thrown by the job (out of memory) is
// thrown again here, on the calling thread.
bool RunWorkerJob(
    QWidget* parent, const QString& title, const std::function<void()>& job, const WorkerJobWindow& window);

// Work that reads the disk for a while and reports through a ScanProgress:
// it runs on a worker thread, must touch nothing the user interface can
// reach, and should return soon after progress.Cancelled() turns true.
using ScanJob = std::function<void(ScanProgress& progress)>;

// Runs `job` as RunWorkerJob does, with a progress window ("scanProgress")
// that shows the entries found so far and the folder being read. Cancel
// (the button, Escape or closing the window) calls ScanProgress::Cancel.
// Returns true when the job ran to its end, false when the user cancelled.
bool RunScanJob(QWidget* parent, const QString& title, const ScanJob& job);

// The three kinds of imported category.
enum class ImportKind { CDRom, Drive, RootFolder };

struct ScannedCategory {
    // The new category, unlinked, filled with the scanned tree; null when
    // the user cancelled (the half-built tree is already destroyed).
    std::unique_ptr<CPathCategory> category;
    ScanReport report;
};

// Builds the category of an import: constructs `kind` with `name` and
// `path` (library text) and scans the folder `path` names into it, on a
// worker thread under RunScanJob's progress dialog (titled `title`). Drive
// and CD scans stay on the volume they start on; folder scans follow the
// volumes mounted below the folder. The category records the volume the
// folder lies on (IdentifyVolumeAt). Nothing but the new category is
// touched, so a cancelled import leaves the library as it was.
ScannedCategory ScanNewCategory(
    QWidget* parent, const QString& title, ImportKind kind, std::string_view name, const std::string& path);

// The message to show once after a scan that could not read some folders:
// how many, and the first `maxPaths` of them (sorted). Empty when every
// folder could be read. Folders deliberately not entered (other volumes,
// pseudo file systems) are not counted.
QString SkippedFoldersMessage(const ScanReport& report, int maxPaths = 5);

} // namespace tessary
