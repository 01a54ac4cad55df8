#include "ui/export_dialog.h"

#include <QFile>
#include <QFileInfo>
#include <QProgressDialog>
#include <QWidget>

#include <algorithm>

namespace jov {

namespace {
constexpr int kSteps = 1000;
constexpr int32_t kRate = 44100;
}  // namespace

ExportJob::ExportJob(QWidget& parent, std::string chart, std::string out, int32_t expectedMs,
                     std::function<void(const std::string&)> reportFailure, ReadingMode reading)
    : QObject(&parent),
      chart_(std::move(chart)),
      out_(std::move(out)),
      expectedFrames_(std::max<int64_t>(1, int64_t{std::max(expectedMs, 1000)} * kRate / 1000)),
      reportFailure_(std::move(reportFailure)) {
    const QString name = QFileInfo(QFile::decodeName(out_.c_str())).fileName();
    // Not modal: the window stays usable and the jukebox plays on.
    dialog_ = new QProgressDialog(tr("Exporting %1…").arg(name), tr("Cancel"), 0, kSteps, &parent, Qt::Dialog);
    dialog_->setWindowTitle(tr("Export audio"));
    dialog_->setAutoClose(false);
    dialog_->setAutoReset(false);
    dialog_->setMinimumDuration(0);
    dialog_->setValue(0);
    connect(dialog_, &QProgressDialog::canceled, this, [this] { Cancel(); });
    connect(dialog_, &QDialog::rejected, this, [this] { Cancel(); });
    dialog_->show();

    worker_ = std::thread([this, reading] {
        RenderOptions options;
        options.rate = kRate;
        options.reading = reading;
        result_ = RenderChartToFile(chart_, out_, options, &progress_);
        done_ = true;
    });
    // Polled only while an export runs: the idle window stays without timers.
    connect(&poll_, &QTimer::timeout, this, [this] { Poll(); });
    poll_.start(100);
}

ExportJob::~ExportJob() {
    Cancel();
    if (worker_.joinable()) worker_.join();
    if (dialog_) dialog_->deleteLater();
}

void ExportJob::Poll() {
    if (dialog_ && dialog_->wasCanceled()) Cancel();
    if (!done_) {
        const int64_t step = progress_.frames * kSteps / expectedFrames_;
        if (dialog_) dialog_->setValue(static_cast<int>(std::clamp<int64_t>(step, 0, kSteps - 1)));
        return;
    }
    poll_.stop();
    worker_.join();
    const RenderFileStatus status = result_.status;
    const std::string name = QFileInfo(QFile::decodeName(out_.c_str())).fileName().toStdString();
    const std::string missing = status == RenderFileStatus::Done ? MissingSoundsText(*result_.summary) : std::string();
    if (dialog_ && !missing.empty()) {
        // Silence where sounds were expected is worth a word: the dialog stays with it
        // until closed, and outlives this job.
        dialog_->disconnect(this);
        dialog_->setValue(kSteps);
        dialog_->setLabelText(tr("Exported %1, but %2.")
                                  .arg(QString::fromStdString(name), QString::fromStdString(missing)));
        dialog_->setCancelButtonText(tr("Close"));
        dialog_->setAttribute(Qt::WA_DeleteOnClose);
        connect(dialog_, &QProgressDialog::canceled, dialog_, &QWidget::close);
        dialog_ = nullptr;
    }
    if (dialog_) dialog_->close();
    if (reportFailure_) {
        if (status == RenderFileStatus::ChartUnreadable) reportFailure_("Export: cannot read the chart");
        else if (status == RenderFileStatus::CannotWrite) reportFailure_("Export: cannot write " + name);
        else if (status == RenderFileStatus::WriteFailed) reportFailure_("Export: writing " + name + " failed");
        else if (status == RenderFileStatus::RenderFailed) reportFailure_("Export: " + result_.summary->error);
        else if (status == RenderFileStatus::UnknownFormat)
            reportFailure_("Export: " + UnknownFormatText(name));
    }
    emit finished(status);
    deleteLater();
}

void CancelExports(QWidget& parent) {
    for (ExportJob* job : parent.findChildren<ExportJob*>(Qt::FindDirectChildrenOnly)) delete job;
}

ExportJob* StartExport(QWidget& parent, const std::string& chart, const std::string& out, int32_t expectedMs,
                       std::function<void(const std::string&)> reportFailure, ReadingMode reading) {
    return new ExportJob(parent, chart, out, expectedMs, std::move(reportFailure), reading);
}

}  // namespace jov
