#pragma once
// Export of one chart's audio: the offline render in a worker thread, a progress dialog
// whose Cancel stops it (leaving no file), and the jukebox playing on meanwhile.
#include <QObject>
#include <QPointer>
#include <QProgressDialog>
#include <QTimer>

#include <atomic>
#include <functional>
#include <string>
#include <thread>

#include "engine/render_file.h"

class QWidget;

namespace jov {

class ExportJob : public QObject {
    Q_OBJECT
public:
    // `expectedMs`: the chart's playing time, for the progress bar only.
    ExportJob(QWidget& parent, std::string chart, std::string out, int32_t expectedMs,
              std::function<void(const std::string&)> reportFailure, ReadingMode reading = ReadingMode::Auto);
    // Cancels and waits for the worker.
    ~ExportJob() override;

    void Cancel() { progress_.cancel = true; }
    QProgressDialog* Dialog() const { return dialog_; }

signals:
    void finished(jov::RenderFileStatus status);

private:
    void Poll();

    std::string chart_;
    std::string out_;
    int64_t expectedFrames_;
    std::function<void(const std::string&)> reportFailure_;
    RenderProgress progress_;
    RenderFileResult result_;
    std::atomic<bool> done_{false};
    std::thread worker_;
    QPointer<QProgressDialog> dialog_;
    QTimer poll_;
};

// Cancels the exports still running under `parent` and waits for them (their files are
// removed): run before the program ends.
void CancelExports(QWidget& parent);

// Starts an export; the job deletes itself when it has finished.
// The chart is read as `reading` says, as the jukebox plays it.
ExportJob* StartExport(QWidget& parent, const std::string& chart, const std::string& out, int32_t expectedMs,
                       std::function<void(const std::string&)> reportFailure,
                       ReadingMode reading = ReadingMode::Auto);

}  // namespace jov
