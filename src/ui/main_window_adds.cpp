// The main window's long list work: adds read in the background and appended in small
// batches, re-reading the list, sorting it, and finding lines by typing.
#include "ui/main_window.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QLineEdit>
#include <QThread>

#include "ui/list_filter.h"

namespace jov {

namespace {

// One batch of appends stays well inside a play-loop pass's budget.
constexpr int kBatchMs = 10;
constexpr int kDrainIntervalMs = 10;
constexpr int kFilterHeight = 22;

}  // namespace

void frmMenu::SetUpAdds() {
    scanCache_ = std::make_unique<ScanCache>(parts_.scanCachePath);
    const int cores = static_cast<int>(QThread::idealThreadCount());
    adds_ = std::make_unique<AddQueue>(scanCache_.get(), cores >= 2 ? 2 : 1, true);
    addTimer_.setInterval(kDrainIntervalMs);
    connect(&addTimer_, &QTimer::timeout, this, [this] { DrainAdds(); });
}

void frmMenu::AddDropped(const std::vector<std::string>& paths) {
    adds_->Enqueue(paths, &player_->Reading());
    if (!addTimer_.isActive()) addTimer_.start();
    ShowAddProgress();
}

void frmMenu::RescanList() {
    std::vector<std::string> paths;
    const auto& entries = list_->PlayListEntries();
    for (std::size_t i = 1; i < entries.size(); ++i) paths.push_back(entries[i].FilePath);
    adds_->EnqueueRescan(std::move(paths), &player_->Reading());
    if (!addTimer_.isActive()) addTimer_.start();
}

void frmMenu::CountSoundingObjects() {
    std::vector<std::string> paths;
    const auto& entries = list_->PlayListEntries();
    for (std::size_t i = 1; i < entries.size(); ++i) paths.push_back(entries[i].FilePath);
    if (paths.empty()) return;
    adds_->EnqueueRescan(std::move(paths), &player_->Reading(), true);
    if (!addTimer_.isActive()) addTimer_.start();
}

void frmMenu::CancelAdds() {
    adds_->Cancel();
    DrainAdds();
}

bool frmMenu::Adding() const { return !adds_->Idle(); }

void frmMenu::FinishAdds() {
    while (!adds_->Idle()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        DrainAdds();
        if (!adds_->Idle()) QThread::msleep(1);
    }
}

void frmMenu::SettleAdds(int maxMs) {
    QElapsedTimer spent;
    spent.start();
    while (!adds_->Idle() && spent.elapsed() < maxMs) {
        DrainAdds();
        QThread::msleep(1);
    }
    CancelAdds();
}

void frmMenu::DrainAdds() {
    QElapsedTimer spent;
    spent.start();
    bool appended = false;
    bool ended = false, listRead = false;
    do {
        std::vector<AddItem> items = adds_->Take(32);
        if (items.empty()) break;
        for (const AddItem& i : items) {
            ended = ended || i.kind == AddItem::Kind::Done;
            listRead = listRead || i.kind == AddItem::Kind::LoadList;
        }
        appended = ApplyAddItems(items, *list_) || appended;
    } while (spent.elapsed() < kBatchMs);
    // The play order covers the new lines at once: the jukebox goes on where it was.
    if (appended || ended) jukebox_->makeplaytable();
    if (listRead) CountSoundingObjects();
    if (adds_->Idle()) addTimer_.stop();
    ShowAddProgress();
}

void frmMenu::ShowAddProgress() {
    const AddProgress p = adds_->Progress();
    QString text;
    if (p.busy && !(p.quiet && p.waiting == 0)) {
        text = tr("Adding… %1").arg(p.done);
        if (p.total >= 0) text += tr(" of %1").arg(p.total);
        if (p.waiting > 0) text += QStringLiteral(" (+%1)").arg(p.waiting);
    }
    if (text == addProgress_) return;
    addProgress_ = text;
    picStatus->update();
}

void frmMenu::SortList(SortKey key) {
    const std::vector<int32_t> order = SortedOrder(list_->PlayListEntries(), key);
    const int current = lstPlayList->currentRow();
    std::vector<QString> keys = std::move(filterKeys_);
    filterKeys_.clear();
    if (!list_->Reorder(order)) return;
    if (keys.size() == order.size())
        for (int32_t i : order) filterKeys_.push_back(std::move(keys[static_cast<std::size_t>(i) - 1]));
    jukebox_->Reordered(order);
    // The line that was current stays current where it went.
    for (std::size_t k = 0; k < order.size(); ++k)
        if (order[k] == current + 1) SelectLine(static_cast<int>(k));
}

// ---- find by typing ----

bool frmMenu::FilterOpen() const { return txtFilter_ && txtFilter_->isVisible(); }

void frmMenu::OpenFilter() {
    if (!txtFilter_) {
        txtFilter_ = new QLineEdit(this);
        txtFilter_->setPlaceholderText(tr("Find: artist, title, genre or file name"));
        txtFilter_->setClearButtonEnabled(true);
        txtFilter_->installEventFilter(this);
        connect(txtFilter_, &QLineEdit::textChanged, this, [this](const QString& t) { ApplyFilter(t); });
    }
    txtFilter_->show();
    PlaceListBox();
    txtFilter_->setFocus(Qt::ShortcutFocusReason);
    txtFilter_->selectAll();
    ApplyFilter(txtFilter_->text());
}

void frmMenu::CloseFilter() {
    if (!FilterOpen()) return;
    txtFilter_->hide();
    ++listGuard_;
    lstPlayList->setUpdatesEnabled(false);
    for (int i = 0; i < lstPlayList->count(); ++i)
        if (lstPlayList->isRowHidden(i)) lstPlayList->setRowHidden(i, false);
    lstPlayList->setUpdatesEnabled(true);
    --listGuard_;
    PlaceListBox();
    lstPlayList->setFocus(Qt::OtherFocusReason);
    if (QListWidgetItem* item = lstPlayList->currentItem()) lstPlayList->scrollToItem(item);
}

void frmMenu::ApplyFilter(const QString& text) {
    const auto& entries = list_->PlayListEntries();
    const int lines = lstPlayList->count();
    if (filterKeys_.size() != static_cast<std::size_t>(lines)) {
        filterKeys_.clear();
        filterKeys_.reserve(static_cast<std::size_t>(lines));
        for (int i = 0; i < lines; ++i) {
            const auto k = static_cast<std::size_t>(i) + 1;
            filterKeys_.push_back(k < entries.size() ? SearchKey(entries[k]) : QString());
        }
    }
    const QStringList words = SearchWords(text);
    ++listGuard_;
    lstPlayList->setUpdatesEnabled(false);
    int firstShown = -1;
    for (int i = 0; i < lines; ++i) {
        const bool shown = MatchesAll(filterKeys_[static_cast<std::size_t>(i)], words);
        if (shown && firstShown < 0) firstShown = i;
        if (lstPlayList->isRowHidden(i) == shown) lstPlayList->setRowHidden(i, !shown);
    }
    // The selection moves to a shown line, without playing it.
    const int current = lstPlayList->currentRow();
    if ((current < 0 || lstPlayList->isRowHidden(current)) && firstShown >= 0) lstPlayList->MarkLine(firstShown);
    lstPlayList->setUpdatesEnabled(true);
    --listGuard_;
}

// Each line's key is folded as the line comes, so opening the filter on a long list
// costs no more than typing a letter.
void frmMenu::FilterNewLine(int row) {
    const auto k = static_cast<std::size_t>(row) + 1;
    const auto& entries = list_->PlayListEntries();
    if (filterKeys_.size() != static_cast<std::size_t>(row) || k >= entries.size()) {
        filterKeys_.clear();  // rebuilt whole when the filter next applies
        return;
    }
    filterKeys_.push_back(SearchKey(entries[k]));
    if (FilterOpen() && !MatchesAll(filterKeys_.back(), SearchWords(txtFilter_->text())))
        lstPlayList->setRowHidden(row, true);
}

// Up and Down in the filter line walk the shown lines; Enter plays; Esc closes.
bool frmMenu::FilterKey(QKeyEvent* e) {
    const int key = e->key();
    if (key == Qt::Key_Escape) {
        CloseFilter();
        return true;
    }
    if (key == Qt::Key_Return || key == Qt::Key_Enter) {
        const int row = lstPlayList->currentRow();
        if (row >= 0 && !lstPlayList->isRowHidden(row)) ClickLine(row);
        return true;
    }
    if (key != Qt::Key_Up && key != Qt::Key_Down) return false;
    const int step = key == Qt::Key_Up ? -1 : 1;
    for (int row = lstPlayList->currentRow() + step; row >= 0 && row < lstPlayList->count(); row += step) {
        if (lstPlayList->isRowHidden(row)) continue;
        SelectLine(row);
        break;
    }
    return true;
}

void frmMenu::PlaceListBox() {
    QRect r = lstPlayList->property("jov01DesignRect").toRect();
    r.adjust(0, 0, std::max(0, width() - kDesignSize.width()), std::max(0, height() - kDesignSize.height()));
    if (FilterOpen()) {
        txtFilter_->setGeometry(r.left(), r.top(), r.width(), kFilterHeight);
        r.setTop(r.top() + kFilterHeight);
    }
    lstPlayList->setGeometry(r);
}

}  // namespace jov
