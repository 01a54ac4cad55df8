// The main window as the core objects see it: list view, jukebox window, play host,
// lamps and caption, and the painting of what they compute.
#include "ui/main_window.h"

#include <QCoreApplication>
#include <QPainter>
#include <QPushButton>

#include <algorithm>

#include "engine/status_readout.h"
#include "ui/display_text.h"
#include "ui/list_filter.h"

namespace jov {

// ---- PlayListView ----

void frmMenu::OnLineAdded(const std::string& line) {
    ++listGuard_;
    lstPlayList->addItem(QString::fromStdString(line));
    FilterNewLine(lstPlayList->count() - 1);
    --listGuard_;
}

void frmMenu::OnLineRemoved(int line) {
    ++listGuard_;
    delete lstPlayList->takeItem(line);
    if (line >= 0 && static_cast<std::size_t>(line) < filterKeys_.size() &&
        filterKeys_.size() == static_cast<std::size_t>(lstPlayList->count()) + 1)
        filterKeys_.erase(filterKeys_.begin() + line);
    else
        filterKeys_.clear();
    --listGuard_;
}

void frmMenu::OnLinesCleared() {
    ++listGuard_;
    lstPlayList->clear();
    filterKeys_.clear();
    --listGuard_;
}

void frmMenu::OnCaptionSet(const std::string& caption) { setWindowTitle(DisplayText(caption)); }

void frmMenu::OnLineChanged(int line, const std::string& text) {
    ++listGuard_;
    if (QListWidgetItem* item = lstPlayList->item(line)) item->setText(QString::fromStdString(text));
    --listGuard_;
    const auto k = static_cast<std::size_t>(line) + 1;
    if (static_cast<std::size_t>(line) < filterKeys_.size() && k < list_->PlayListEntries().size())
        filterKeys_[static_cast<std::size_t>(line)] = SearchKey(list_->PlayListEntries()[k]);
}

void frmMenu::OnLinesReplaced(const std::vector<std::string>& lines) {
    ++listGuard_;
    lstPlayList->setUpdatesEnabled(false);
    for (int i = 0; i < static_cast<int>(lines.size()) && i < lstPlayList->count(); ++i)
        lstPlayList->item(i)->setText(QString::fromStdString(lines[static_cast<std::size_t>(i)]));
    lstPlayList->setUpdatesEnabled(true);
    --listGuard_;
    // The search keys are put in the new order by the sort itself.
}

// ---- JukeboxWindow ----

void frmMenu::SetNextPlayTimer(bool enabled) {
    if (enabled) timNextPlay_.start();
    else timNextPlay_.stop();
}

void frmMenu::SelectLine(int line) {
    if (line < 0 || line >= lstPlayList->count()) return;
    ++listGuard_;
    lstPlayList->MarkLine(line);
    --listGuard_;
}

void frmMenu::ShowRunningPicture(bool running) {
    cmdPlay->setIcon(imgRun[running ? 1 : 0]);
    emit playbackChanged();
}

double frmMenu::TitleTextWidth(const std::string& text) {
    return QFontMetricsF(titleFont_).horizontalAdvance(QString::fromStdString(text));
}

void frmMenu::RestartMarquee(double titleWidth) {
    marquee_.Restart(titleWidth);
    picTitle->update();
    emit playbackChanged();
}

void frmMenu::PumpEvents() { QCoreApplication::processEvents(QEventLoop::AllEvents); }

void frmMenu::UpdateBeatDisplay() {
    if (!beat_.Update(player_->State(), player_->Model())) return;
    ApplyBeatDisplay();
}

void frmMenu::ApplyBeatDisplay() {
    for (size_t i = 0; i < 4; ++i) picBeat[i]->SetBackColor(ToColor(beat_.Lamp[i]));
    picScroll->SetBackColor(ToColor(beat_.Background));
    picScroll->update();
}

// ---- PlayHost ----

void frmMenu::StartTimer(int id, int intervalMs) {
    if (id == kPlayTimerId) timer50_.start(intervalMs);
    else if (id == kStatusTimerId) timer51_.start(intervalMs);
}

void frmMenu::StopTimer(int id) {
    if (id == kPlayTimerId) timer50_.stop();
    else if (id == kStatusTimerId) timer51_.stop();
}

void frmMenu::DrawNotes() {
    if (drawNotes_) drawNotes_();
}

void frmMenu::DrawStatus(const StatusReadout& readout) {
    if (player_->State().IsMinimized) return;
    statusText_ = readout.Text();
    picStatus->update();
}

// ---- SignalLamps ----

void frmMenu::SetLoadLamp(bool lit) {
    picLoadWav->SetBackColor(lit ? QColor(0, 255, 0) : palette().color(QPalette::Button));
    if (lit && picLoadWav->isVisible()) picLoadWav->repaint();
}

void frmMenu::SetPlayLamp(bool lit) {
    picPlayWav->SetBackColor(lit ? QColor(255, 0, 0) : palette().color(QPalette::Button));
    if (lit && picPlayWav->isVisible()) picPlayWav->repaint();
}

// ---- StatusSink ----

void frmMenu::OnCaption(const std::string& caption) { setWindowTitle(DisplayText(caption)); }

// ---- painting ----

void frmMenu::PaintStatus(QPainter& p, const QRect& inner) {
    if (!addProgress_.isEmpty()) {
        p.setPen(kLightCyan);
        p.setFont(picStatus->font());
        p.drawText(inner, Qt::AlignRight | Qt::AlignBottom, addProgress_);
    }
    if (statusText_.empty()) return;
    p.setPen(kLightCyan);
    p.setFont(picStatus->font());
    QFontMetrics fm(picStatus->font());
    QString text = DisplayText(statusText_);
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    int y = inner.top() + fm.ascent();
    for (const QString& line : text.split(QLatin1Char('\n'))) {
        p.drawText(inner.left(), y, line);
        y += fm.height();
    }
}

void frmMenu::PaintScroll(QPainter& p, const QRect& inner) {
    // The marker: 7 by 4 units from (ProgressX, 0), drawn as a rectangle outline.
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::NoBrush);
    // ProgressX runs 0 to 180 over the design width; a wider strip spreads it out.
    const int span = std::max(0, inner.width() - 8);
    QRect marker(inner.left() + static_cast<int>(int64_t{beat_.ProgressX} * span / 180), inner.top(), 7, 4);
    QColor yellow = ToColor(kProgressMarker);
    p.fillRect(QRect(marker.left(), marker.top(), marker.width() + 1, 1), yellow);
    p.fillRect(QRect(marker.left(), marker.bottom() + 1, marker.width() + 1, 1), yellow);
    p.fillRect(QRect(marker.left(), marker.top(), 1, marker.height() + 1), yellow);
    p.fillRect(QRect(marker.right() + 1, marker.top(), 1, marker.height() + 1), yellow);
}

void frmMenu::PaintTitle(QPainter& p, const QRect& inner) {
    const std::string& now = player_->Model().NowPlaying;
    if (now.empty()) return;
    p.setPen(kLightCyan);
    p.setFont(titleFont_);
    QFontMetrics fm(titleFont_);
    p.drawText(inner.left() + marquee_.TitleX, inner.top() + marquee_.TitleY + fm.ascent(),
               QString::fromStdString(now));
}

}  // namespace jov
