#pragma once
// Export of one chart's audio: the offline render in a worker thread, a progress dialog
// whose Cancel stops it (leaving no file), and the jukebox playing on meanwhile.
#include <QObject>
#include <QPointer>
#include <QProgressDialog>
#include <QTimer>

#include <atomic>
#include <functional>
#include <memory>
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
    // Cancels and waits a few seconds for the worker; one stuck in the system (a disk
    // that does not answer) is left to end by itself, with the state it shares.
    ~ExportJob() override;

    void Cancel() { shared_->progress.cancel = true; }
    QProgressDialog* Dialog() const { return dialog_; }

signals:
    void finished(jov::RenderFileStatus status);

private:
    void Poll();

    // What the worker uses, kept alive by it should it outlive the job.
    struct Shared {
        std::string chart;
        std::string out;
        RenderProgress progress;
        RenderFileResult result;
        std::atomic<bool> done{false};
    };

    int64_t expectedFrames_;
    std::function<void(const std::string&)> reportFailure_;
    std::shared_ptr<Shared> shared_;
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
