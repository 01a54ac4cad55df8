#include "playlist/main_window.h"

#include <filesystem>

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDragEnterEvent>
#include <QElapsedTimer>
#include <QFile>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QMimeData>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QStyledItemDelegate>
#include <QToolButton>
#include <QUrl>

#include <unistd.h>

#include "chart/chart_model.h"
#include "engine/status_readout.h"
#include "audio/cls_midi.h"

namespace jov {
namespace {

const char* const kStartCaption = "jov:01 - drop BMS file/directory to listbox";
const QColor kBlue(0, 0, 255);
const QColor kLightCyan(192, 255, 255);

// The window design is in twips; 15 twips make one (logical) pixel.
QRect Twips(int left, int top, int width, int height) {
    return QRect(left / 15, top / 15, width / 15, height / 15);
}

QColor ToColor(const Rgb& c) { return QColor(c.r, c.g, c.b); }

QFont SizedFont(double points) {
    QFont f = QApplication::font();
    f.setPointSizeF(points);
    return f;
}

QPixmap Picture(const std::function<void(QPainter&)>& draw) {
    QPixmap pm(16, 16);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing, true);
    draw(p);
    return pm;
}

QPixmap TrianglePicture(const QColor& c) {
    return Picture([&](QPainter& p) {
        QPainterPath path;
        path.moveTo(4, 2);
        path.lineTo(13, 8);
        path.lineTo(4, 14);
        path.closeSubpath();
        p.fillPath(path, c);
    });
}

QPixmap StopPicture() {
    return Picture([](QPainter& p) { p.fillRect(QRect(3, 3, 10, 10), Qt::black); });
}

// Three falling notes in their lanes.
QPixmap NotesPicture() {
    return Picture([](QPainter& p) {
        p.fillRect(QRect(1, 1, 14, 14), QColor(0, 0, 96));
        p.fillRect(QRect(2, 3, 3, 2), Qt::white);
        p.fillRect(QRect(6, 8, 3, 2), QColor(64, 160, 255));
        p.fillRect(QRect(10, 5, 3, 2), Qt::white);
        p.fillRect(QRect(1, 12, 14, 1), QColor(255, 64, 64));
    });
}

// Two crossing arrows.
QPixmap ShufflePicture() {
    return Picture([](QPainter& p) {
        QPen pen(Qt::black, 1.6);
        p.setPen(pen);
        p.drawLine(QPointF(1.5, 4), QPointF(5, 4));
        p.drawLine(QPointF(5, 4), QPointF(11, 12));
        p.drawLine(QPointF(1.5, 12), QPointF(5, 12));
        p.drawLine(QPointF(5, 12), QPointF(11, 4));
        QPainterPath a;
        a.moveTo(15, 4); a.lineTo(11, 1.5); a.lineTo(11, 6.5); a.closeSubpath();
        QPainterPath b;
        b.moveTo(15, 12); b.lineTo(11, 9.5); b.lineTo(11, 14.5); b.closeSubpath();
        p.fillPath(a, Qt::black);
        p.fillPath(b, Qt::black);
    });
}

// Artist - title on the left, the playing time (the part after the tab) right-aligned.
class EntryLineDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    void paint(QPainter* p, const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        QStyleOptionViewItem o(option);
        initStyleOption(&o, index);
        const QString text = o.text;
        o.text.clear();
        const QWidget* w = o.widget;
        QStyle* style = w ? w->style() : QApplication::style();
        style->drawControl(QStyle::CE_ItemViewItem, &o, p, w);

        int tab = text.indexOf(QLatin1Char('\t'));
        QString left = tab < 0 ? text : text.left(tab);
        QString right = tab < 0 ? QString() : text.mid(tab + 1);
        QRect r = o.rect.adjusted(3, 0, -4, 0);
        p->save();
        p->setFont(o.font);
        p->setPen(o.palette.color(QPalette::Normal, (o.state & QStyle::State_Selected) ? QPalette::HighlightedText
                                                                                      : QPalette::Text));
        int rightWidth = o.fontMetrics.horizontalAdvance(right);
        p->drawText(r, Qt::AlignRight | Qt::AlignVCenter, right);
        QRect leftRect = r.adjusted(0, 0, -(rightWidth + 8), 0);
        p->drawText(leftRect, Qt::AlignLeft | Qt::AlignVCenter,
                    o.fontMetrics.elidedText(left, Qt::ElideRight, leftRect.width()));
        p->restore();
    }
};

// Mouse buttons as a bit set: 1 left, 2 right, 4 middle.
int ButtonBits(Qt::MouseButtons b) {
    return (b & Qt::LeftButton ? 1 : 0) | (b & Qt::RightButton ? 2 : 0) | (b & Qt::MiddleButton ? 4 : 0);
}

bool IsReadableFile(const std::string& path) {
    return !path.empty() && ::access(path.c_str(), R_OK) == 0;
}

}  // namespace

// ---- the player as the jukebox sees it ----

class frmMenu::PlayerLink final : public JukeboxPlayer {
public:
    explicit PlayerLink(Player& p) : p_(p) {}
    EngineState& State() override { return p_.State(); }
    const std::string& NowPlaying() override { return p_.Model().NowPlaying; }
    bool LoadChart(const std::string& path) override {
        bool readable = IsReadableFile(path);
        p_.LoadChart(path);
        return readable;
    }
    void PlaceStart() override { p_.PlaceStart(); }
    bool SeekTo(int32_t target, bool byTick) override { return p_.SeekTo(target, byTick); }
    void RunPlayLoop() override { p_.RunPlayLoop(); }
    void StopSounds() override { p_.StopSounds(); }
    void StopMidi() override {
        if (p_.Model().Midi) p_.Model().Midi->StopM();
    }

private:
    Player& p_;
};

// Message boxes of the list file go through the window's one message route.
class ListMessages final : public MessageHook {
public:
    explicit ListMessages(std::function<void(MessageIcon, const std::string&, const std::string&)> f)
        : f_(std::move(f)) {}
    void ShowMessage(MessageIcon icon, const std::string& title, const std::string& text) override {
        f_(icon, title, text);
    }

private:
    std::function<void(MessageIcon, const std::string&, const std::string&)> f_;
};

// ---- picture box ----

PictureBox::PictureBox(QWidget* parent, bool border) : QWidget(parent), back_(kBlue), border_(border) {
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void PictureBox::SetBackColor(const QColor& c) {
    if (c == back_) return;
    back_ = c;
    update();
}

QRect PictureBox::InnerRect() const {
    return border_ ? rect().adjusted(2, 2, -2, -2) : rect();
}

void PictureBox::paintEvent(QPaintEvent*) {
    QPainter p(this);
    if (border_) {
        // A sunken frame, two pixels wide, as the classic picture box draws it.
        p.fillRect(rect(), palette().color(QPalette::Dark));
        p.fillRect(QRect(1, 1, width() - 1, height() - 1), palette().color(QPalette::Light));
        p.fillRect(QRect(1, 1, width() - 2, height() - 2), palette().color(QPalette::Shadow));
    }
    QRect inner = InnerRect();
    p.fillRect(inner, back_);
    if (paintContent) {
        p.setClipRect(inner);
        paintContent(p, inner);
    }
}

void PictureBox::mousePressEvent(QMouseEvent* e) {
    if (mouse) mouse(e);
}

void PictureBox::mouseMoveEvent(QMouseEvent* e) {
    if (mouse) mouse(e);
}

// ---- list box ----

PlayListBox::PlayListBox(QWidget* parent) : QListWidget(parent) {
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setAcceptDrops(true);
    viewport()->setAcceptDrops(true);
    setDragDropMode(QAbstractItemView::DropOnly);
    setUniformItemSizes(true);
    setItemDelegate(new EntryLineDelegate(this));
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
}

std::vector<std::string> DroppedPaths(const QMimeData* data) {
    std::vector<std::string> out;
    if (!data || !data->hasUrls()) return out;
    for (const QUrl& url : data->urls()) {
        if (!url.isLocalFile()) continue;
        QString p = url.toLocalFile();
        if (p.size() > 1 && p.endsWith(QLatin1Char('/'))) p.chop(1);
        out.push_back(QFile::encodeName(p).toStdString());
    }
    return out;
}

// Drags carrying files or folders are welcome on the list and on the window alike.
static void AcceptIfUrls(QDropEvent* e) {
    if (e->mimeData()->hasUrls())
        e->acceptProposedAction();
    else
        e->ignore();
}

void PlayListBox::dragEnterEvent(QDragEnterEvent* e) {
    AcceptIfUrls(e);
}

void PlayListBox::dragMoveEvent(QDragMoveEvent* e) {
    AcceptIfUrls(e);
}

void PlayListBox::dropEvent(QDropEvent* e) {
    auto paths = DroppedPaths(e->mimeData());
    e->acceptProposedAction();
    if (onDrop && !paths.empty()) onDrop(paths);
}

void PlayListBox::keyPressEvent(QKeyEvent* e) {
    if (onKeyDown) onKeyDown(e->key());
    if (e->key() != Qt::Key_Delete) QListWidget::keyPressEvent(e);
}

void PlayListBox::mousePressEvent(QMouseEvent* e) {
    int before = currentRow();
    QListWidget::mousePressEvent(e);
    int after = currentRow();
    if (after >= 0 && after == before && e->button() == Qt::LeftButton && onClickSameRow) onClickSameRow(after);
}

// ---- main window ----

frmMenu::frmMenu(const MainWindowParts& parts, QWidget* parent) : QWidget(parent), parts_(parts) {
    player_ = std::make_unique<Player>(*parts_.shell, *parts_.clock, parts_.sound, parts_.midi);
    list_ = std::make_unique<PlayList>(*parts_.shell);
    link_ = std::make_unique<PlayerLink>(*player_);
    Shell* shell = parts_.shell;
    jukebox_ = std::make_unique<Jukebox>(*list_, *link_, static_cast<JukeboxWindow&>(*this),
                                         [shell](const std::string& t) { shell->SetCaption(t); });
    listMessages_ = std::make_unique<ListMessages>(
        [this](MessageIcon icon, const std::string& title, const std::string& text) {
            ShowMessage(icon, title, text);
        });

    shell->SetSink(this);
    list_->SetView(this);
    list_->SetMessageHook(listMessages_.get());
    player_->SetHost(this);
    player_->Sounds().SetLamps(this);
    search_.onCaption = [this](const std::string& caption) { OnCaptionSet(caption); };

    setWindowTitle(QString::fromUtf8(kStartCaption));
    setAcceptDrops(true);
    BuildControls();

    timNextPlay_.setInterval(1);
    timNextPlay_.setSingleShot(true);
    connect(&timNextPlay_, &QTimer::timeout, this, [this] { jukebox_->OnNextPlayTimer(); });
    timscroll_.setInterval(200);
    connect(&timscroll_, &QTimer::timeout, this, [this] { MarqueeTick(); });
    timscroll_.start();
    timer50_.setTimerType(Qt::PreciseTimer);
    connect(&timer50_, &QTimer::timeout, this, [this] { player_->Engine().PlayTimerProc(kPlayTimerId); });
    connect(&timer51_, &QTimer::timeout, this, [this] { player_->Engine().StatusTimerProc(); });

    // Until a notes window is supplied, a plain one stands in.
    ownNotes_ = std::make_unique<QWidget>();
    ownNotes_->setWindowTitle(QStringLiteral("Notes"));
    ownNotes_->installEventFilter(this);
    notes_ = ownNotes_.get();
}

frmMenu::~frmMenu() {
    parts_.shell->SetSink(nullptr);
    player_->SetHost(nullptr);
    player_->Sounds().SetLamps(nullptr);
}

void frmMenu::BuildControls() {
    const QFont statusFont = SizedFont(8.25);
    titleFont_ = SizedFont(6);
    setFixedSize(5985 / 15, 3450 / 15);

    imgRun[0] = TrianglePicture(Qt::black);
    imgRun[1] = TrianglePicture(QColor(0, 192, 0));

    cmdPlay = new QPushButton(this);
    cmdPlay->setGeometry(Twips(120, 120, 600, 360));
    cmdPlay->setToolTip(QStringLiteral("PLAY"));
    cmdPlay->setIconSize(QSize(16, 16));
    connect(cmdPlay, &QPushButton::clicked, this, [this] { jukebox_->OnPlayClick(); });

    cmdStop = new QPushButton(this);
    cmdStop->setGeometry(Twips(720, 120, 360, 360));
    cmdStop->setIcon(StopPicture());
    cmdStop->setIconSize(QSize(16, 16));
    cmdStop->setToolTip(QStringLiteral("STOP"));
    connect(cmdStop, &QPushButton::clicked, this, [this] { jukebox_->OnStopClick(); });

    chkShowNotes = new QToolButton(this);
    chkShowNotes->setGeometry(Twips(1800, 120, 360, 360));
    chkShowNotes->setCheckable(true);
    chkShowNotes->setIcon(NotesPicture());
    chkShowNotes->setIconSize(QSize(16, 16));
    connect(chkShowNotes, &QToolButton::toggled, this, [this](bool on) { OnShowNotesToggled(on); });

    chkRandom = new QToolButton(this);
    chkRandom->setGeometry(Twips(2160, 120, 360, 360));
    chkRandom->setCheckable(true);
    chkRandom->setIcon(ShufflePicture());
    chkRandom->setIconSize(QSize(16, 16));
    connect(chkRandom, &QToolButton::toggled, this, [this](bool on) { jukebox_->SetRandom(on); });

    picStatus = new PictureBox(this, true);
    picStatus->setGeometry(Twips(3240, 120, 2400, 480));
    picStatus->setFont(statusFont);
    picStatus->paintContent = [this](QPainter& p, const QRect& r) { PaintStatus(p, r); };

    const QColor buttonFace = palette().color(QPalette::Button);
    picLoadWav = new PictureBox(this, true);
    picLoadWav->setGeometry(Twips(5640, 120, 240, 300));
    picLoadWav->SetBackColor(buttonFace);
    picLoadWav->setToolTip(QStringLiteral("WAVE LOAD SIGNAL"));
    picPlayWav = new PictureBox(this, true);
    picPlayWav->setGeometry(Twips(5640, 420, 240, 300));
    picPlayWav->SetBackColor(buttonFace);
    picPlayWav->setToolTip(QStringLiteral("WAVE PLAY SIGNAL"));

    picTitle = new PictureBox(this, true);
    picTitle->setGeometry(Twips(120, 510, 2640, 210));
    picTitle->setFont(titleFont_);
    picTitle->paintContent = [this](QPainter& p, const QRect& r) { PaintTitle(p, r); };

    const std::array<QRect, 4> beatRects{Twips(2760, 510, 120, 90), Twips(2880, 450, 120, 150),
                                         Twips(3000, 360, 120, 240), Twips(3120, 240, 120, 360)};
    for (size_t i = 0; i < 4; ++i) {
        picBeat[i] = new PictureBox(this, false);
        picBeat[i]->setGeometry(beatRects[i]);
    }

    picScroll = new PictureBox(this, true);
    picScroll->setGeometry(Twips(2760, 600, 2880, 120));
    picScroll->setMouseTracking(true);
    picScroll->paintContent = [this](QPainter& p, const QRect& r) { PaintScroll(p, r); };
    picScroll->mouse = [this](QMouseEvent* e) {
        double x = e->position().x() - picScroll->InnerRect().left();
        SeekBarMouse(x, ButtonBits(e->buttons()));
    };

    lstPlayList = new PlayListBox(this);
    lstPlayList->setGeometry(Twips(120, 720, 5760, 2265));
    lstPlayList->onDrop = [this](const std::vector<std::string>& paths) { AddDropped(paths); };
    lstPlayList->onKeyDown = [this](int key) {
        if (key == Qt::Key_Delete) PressDelete();
    };
    lstPlayList->onClickSameRow = [this](int row) { OnListCurrentChanged(row); };
    connect(lstPlayList, &QListWidget::currentRowChanged, this, [this](int row) { OnListCurrentChanged(row); });

    // The labels sit on the combo boxes' baseline; their design height is too small for
    // a Linux font at the same size, so they get a little more, growing upwards.
    // "Small Fonts" is narrower than any Linux sans-serif at 6 pt: tighten the spacing.
    QFont labelFont = titleFont_;
    labelFont.setLetterSpacing(QFont::PercentageSpacing, 88);
    auto label = [this, labelFont](int index, const char* text, QRect r) {
        lblCap[static_cast<size_t>(index)] = new QLabel(QString::fromUtf8(text), this);
        lblCap[static_cast<size_t>(index)]->setFont(labelFont);
        r.setTop(r.top() - 4);
        lblCap[static_cast<size_t>(index)]->setGeometry(r);
        lblCap[static_cast<size_t>(index)]->setAlignment(Qt::AlignLeft | Qt::AlignBottom);
    };
    label(2, "wavLoadmode:", Twips(120, 3240, 900, 120));
    label(0, "Sleep:", Twips(2400, 3240, 450, 120));

    cmbWAVMode = new QComboBox(this);
    cmbWAVMode->setGeometry(Twips(960, 3060, 1320, 300));
    cmbWAVMode->addItem(QStringLiteral("First ALL"));
    cmbWAVMode->addItem(QStringLiteral("Realtime"));
    connect(cmbWAVMode, &QComboBox::currentIndexChanged, this, [this](int i) {
        if (i >= 0) player_->State().WavLoadMode = i;
    });

    cmbSleep = new QComboBox(this);
    cmbSleep->setGeometry(Twips(2880, 3060, 615, 300));
    cmbSleep->setEditable(true);
    cmbSleep->setInsertPolicy(QComboBox::NoInsert);
    for (int i = 0; i <= 15; ++i) cmbSleep->addItem(QString::number(i));
    cmbSleep->setCurrentIndex(10);
    connect(cmbSleep, &QComboBox::editTextChanged, this, [this](const QString& t) { SetSleepText(t); });
    connect(cmbSleep, &QComboBox::activated, this, [this](int i) { SetSleepText(cmbSleep->itemText(i)); });

    cmdClear = new QPushButton(QStringLiteral("CLEAR"), this);
    cmdClear->setGeometry(Twips(4680, 3000, 1200, 360));
    connect(cmdClear, &QPushButton::clicked, this, [this] { list_->ClearPlayList(); });
}

void frmMenu::EnsureLoaded() {
    if (loaded_ || loading_) return;
    loading_ = true;
    FormLoad();
    loading_ = false;
    loaded_ = true;
}

void frmMenu::FormLoad() {
    cmbWAVMode->setCurrentIndex(1);
    player_->State().WavLoadMode = 1;
    show();
    cmdPlay->setIcon(imgRun[0]);
    if (notes_) notes_->setWindowIcon(chkShowNotes->icon());
    QFontMetricsF fm(titleFont_);
    marquee_.Measure(picTitle->InnerRect().height(), fm.height(), fm.horizontalAdvance(QLatin1Char('A')));
    std::error_code ec;
    const bool listThere = std::filesystem::exists(parts_.listPath, ec);
    // A list that is there but does not read whole is kept aside at close instead of
    // being overwritten by what little could be read of it.
    keepDamagedList_ = !list_->LoadPlayList(parts_.listPath, true) && listThere;
    jukebox_->makeplaytable();
}

void frmMenu::SetNotesWindow(QWidget* notes) {
    notes_ = notes;
    if (notes_ != ownNotes_.get()) ownNotes_.reset();
    if (notes_) {
        notes_->setWindowIcon(chkShowNotes->icon());
        notes_->setVisible(chkShowNotes->isChecked());
    }
}

void frmMenu::NotesWindowClosed() { chkShowNotes->setChecked(false); }

bool frmMenu::eventFilter(QObject* watched, QEvent* e) {
    if (watched == ownNotes_.get() && e->type() == QEvent::Close) {
        // Closing the notes window only hides it.
        e->ignore();
        ownNotes_->hide();
        NotesWindowClosed();
        return true;
    }
    return QWidget::eventFilter(watched, e);
}

void frmMenu::OnShowNotesToggled(bool on) {
    if (!notes_) return;
    if (on) {
        notes_->show();
        notes_->raise();
    } else {
        notes_->hide();
    }
}

void frmMenu::ShowMessage(MessageIcon icon, const std::string& title, const std::string& text) {
    if (parts_.showMessage) {
        parts_.showMessage(icon, title, text);
        return;
    }
    QMessageBox box(icon == MessageIcon::Warning ? QMessageBox::Warning : QMessageBox::Critical,
                    QString::fromStdString(title), QString::fromStdString(text), QMessageBox::Ok, this);
    box.exec();
}

void frmMenu::ShowCritical(const std::string& text) { ShowMessage(MessageIcon::Error, "jov:01", text); }

// ---- reactions ----

// Moves an unreadable list file to "<name>.damaged" (or .damaged.1, .2, ...), never over another.
void frmMenu::KeepDamagedList(const std::string& path) {
    namespace fs = std::filesystem;
    std::error_code ec;
    for (int n = 0; n < 100; ++n) {
        std::string target = path;
        target += ".damaged";
        if (n > 0) {
            target += '.';
            target += std::to_string(n);
        }
        if (fs::exists(target, ec)) continue;
        fs::rename(path, target, ec);
        return;
    }
}

void frmMenu::closeEvent(QCloseEvent* e) {
    if (keepDamagedList_) KeepDamagedList(parts_.listPath);
    list_->SavePlayList(parts_.listPath, true);
    e->accept();
    Shutdown();
}

void frmMenu::Shutdown() {
    player_->ReleaseSound();
    if (parts_.releaseSoundDevice) parts_.releaseSoundDevice();
    SaveSettings(parts_.settingsPath, *this);
    player_->Model().Midi.reset();
    if (parts_.endProgram) parts_.endProgram();
    else QCoreApplication::exit(0);
}

void frmMenu::changeEvent(QEvent* e) {
    if (e->type() == QEvent::WindowStateChange) player_->State().IsMinimized = isMinimized();
    QWidget::changeEvent(e);
}

void frmMenu::dragEnterEvent(QDragEnterEvent* e) {
    AcceptIfUrls(e);
}

void frmMenu::dragMoveEvent(QDragMoveEvent* e) {
    AcceptIfUrls(e);
}

void frmMenu::dropEvent(QDropEvent* e) {
    auto paths = DroppedPaths(e->mimeData());
    e->acceptProposedAction();
    if (!paths.empty()) AddDropped(paths);
}

void frmMenu::AddDropped(const std::vector<std::string>& paths) {
    // A long search keeps the window drawn and the play timer running, but no second
    // jukebox step may start inside it.
    jukebox_->Hold(true);
    AddDroppedItems(paths, *list_, search_);
    jukebox_->makeplaytable();
    jukebox_->Hold(false);
}

void frmMenu::PressDelete() {
    if (lstPlayList->currentRow() < 0) return;
    ++listGuard_;
    for (int n = lstPlayList->count() - 1; n >= 0; --n) {
        QListWidgetItem* item = lstPlayList->item(n);
        if (item && item->isSelected()) list_->RemovePlayListEntry(n);
    }
    --listGuard_;
    jukebox_->makeplaytable();
}

void frmMenu::OnListCurrentChanged(int row) {
    if (listGuard_ > 0 || row < 0) return;
    jukebox_->OnListClick(row);
}

void frmMenu::SetSleepText(const QString& text) {
    auto v = ParseInt16(text.toStdString());
    if (!v || *v < 0 || *v > 15) return;
    player_->State().SleepMs = *v;
}

void frmMenu::SeekBarMouse(double x, int buttons) {
    ChartModel& m = player_->Model();
    SeekBarAction a = SeekBarPointer(x, buttons, m.PlayTime, m.LastTick);
    if (a.TooltipMs) picScroll->setToolTip(QString::fromStdString(FormatTime(*a.TooltipMs)));
    if (a.SeekTick) player_->SeekTo(*a.SeekTick, true);
    UpdateBeatDisplay();
}

void frmMenu::MarqueeTick() {
    marquee_.Step(picTitle->InnerRect().width());
    picTitle->update();
}

// ---- SettingsControls ----

void frmMenu::SetSleepIndex(int index) {
    EnsureLoaded();
    if (index < 0 || index >= cmbSleep->count()) return;
    {
        QSignalBlocker block(cmbSleep);
        cmbSleep->setCurrentIndex(index);
        cmbSleep->setEditText(cmbSleep->itemText(index));
    }
    SetSleepText(cmbSleep->itemText(index));
}

void frmMenu::SetWavModeIndex(int index) {
    EnsureLoaded();
    if (index < 0 || index >= cmbWAVMode->count()) return;
    {
        QSignalBlocker block(cmbWAVMode);
        cmbWAVMode->setCurrentIndex(index);
    }
    player_->State().WavLoadMode = index;
}

void frmMenu::SetShowNotes(bool ticked) {
    EnsureLoaded();
    chkShowNotes->setChecked(ticked);
}

void frmMenu::SetRandom(bool ticked) {
    EnsureLoaded();
    chkRandom->setChecked(ticked);
}

bool frmMenu::ShowNotes() const { return chkShowNotes->isChecked(); }
bool frmMenu::Random() const { return chkRandom->isChecked(); }
int32_t frmMenu::SleepMs() const { return player_->State().SleepMs; }
int32_t frmMenu::WavLoadMode() const { return player_->State().WavLoadMode; }

void frmMenu::SetEngineSettings(int32_t sleepMs, int32_t wavLoadMode) {
    player_->State().SleepMs = sleepMs;
    player_->State().WavLoadMode = wavLoadMode;
}

// ---- PlayListView ----

void frmMenu::OnLineAdded(const std::string& line) {
    ++listGuard_;
    lstPlayList->addItem(QString::fromStdString(line));
    --listGuard_;
}

void frmMenu::OnLineRemoved(int line) {
    ++listGuard_;
    delete lstPlayList->takeItem(line);
    --listGuard_;
}

void frmMenu::OnLinesCleared() {
    ++listGuard_;
    lstPlayList->clear();
    --listGuard_;
}

void frmMenu::OnCaptionSet(const std::string& caption) {
    setWindowTitle(QString::fromStdString(caption));
    // A long folder search: let the window draw itself now and then.
    if (!lastSearchDraw_.isValid() || lastSearchDraw_.elapsed() >= 100) {
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
        lastSearchDraw_.start();
    }
}

// ---- JukeboxWindow ----

void frmMenu::SetNextPlayTimer(bool enabled) {
    if (enabled) timNextPlay_.start();
    else timNextPlay_.stop();
}

void frmMenu::SelectLine(int line) {
    if (line < 0 || line >= lstPlayList->count()) return;
    lstPlayList->setCurrentRow(line);
    lstPlayList->scrollToItem(lstPlayList->item(line));
}

void frmMenu::ShowRunningPicture(bool running) { cmdPlay->setIcon(imgRun[running ? 1 : 0]); }

double frmMenu::TitleTextWidth(const std::string& text) {
    return QFontMetricsF(titleFont_).horizontalAdvance(QString::fromStdString(text));
}

void frmMenu::RestartMarquee(double titleWidth) {
    marquee_.Restart(titleWidth);
    picTitle->update();
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

void frmMenu::OnCaption(const std::string& caption) { setWindowTitle(QString::fromStdString(caption)); }

// ---- painting ----

void frmMenu::PaintStatus(QPainter& p, const QRect& inner) {
    if (statusText_.empty()) return;
    p.setPen(kLightCyan);
    p.setFont(picStatus->font());
    QFontMetrics fm(picStatus->font());
    QString text = QString::fromStdString(statusText_);
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
    QRect marker(inner.left() + beat_.ProgressX, inner.top(), 7, 4);
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
