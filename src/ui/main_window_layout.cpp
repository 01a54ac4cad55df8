// The main window's controls, placed as the window design places them.
#include "ui/main_window.h"

#include <QLineEdit>

#include <QComboBox>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QResizeEvent>

#include <algorithm>
#include <QToolButton>

#include "playlist/seek_bar.h"
#include "ui/list_menu.h"

namespace jov {

namespace {
const char* const kDesignRect = "jov01DesignRect";
}  // namespace

const QSize frmMenu::kDesignSize(5985 / 15, 3450 / 15);

void frmMenu::BuildControls() {
    const QFont statusFont = SizedFont(8.25);
    titleFont_ = SizedFont(6);
    // The design size is the smallest; the window grows from there (see resizeEvent).
    setMinimumSize(kDesignSize);
    resize(kDesignSize);

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
    chkShowNotes->setIcon(NotesSwitchPicture());
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
        // The seek bar's units stay those of its design width however wide the strip is.
        const QRect inner = picScroll->InnerRect();
        const double x = (e->position().x() - inner.left()) * kSeekBarInnerWidth / std::max(1, inner.width());
        SeekBarMouse(x, ButtonBits(e->buttons()));
    };

    lstPlayList = new PlayListBox(this);
    lstPlayList->setGeometry(Twips(120, 720, 5760, 2265));
    lstPlayList->onDrop = [this](const std::vector<std::string>& paths) { AddDropped(paths); };
    lstPlayList->onKeyDown = [this](int key) {
        if (key == Qt::Key_Delete) PressDelete();
    };
    lstPlayList->onChosen = [this](int row) { OnListCurrentChanged(row); };
    // Typing on the list finds lines instead of jumping to (and playing) one.
    lstPlayList->onTypeText = [this](const QString& text) {
        OpenFilter();
        if (text != QLatin1String("/")) txtFilter_->setText(text);
    };

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

    // The list's menu: right button or the context-menu key.
    listMenu_ = new ListMenu(*this, parts_.settingsPath);
    listMenu_->reading = [this] { return Reading(); };
    listMenu_->setReading = [this](const std::string& name) { ChooseReading(name); };
    listMenu_->evenLoudness = [this] { return EvenLoudness(); };
    listMenu_->setEvenLoudness = [this](bool on) { SetEvenLoudness(on); };
    // A line's tool tip: its chart's reading, then its loudness once measured.
    lstPlayList->toolTipFor = [this](int row) {
        const auto choice = list_->ReadingOfLine(row);
        QString tip = choice ? QString::fromStdString(DescribeReading(player_->Reading().mode, *choice)) : QString();
        const QString loudness = LoudnessTip(row);
        if (!loudness.isEmpty()) tip += tip.isEmpty() ? loudness : QStringLiteral("\n") + loudness;
        return tip;
    };
    lstPlayList->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(lstPlayList, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& p) { listMenu_->PopUp(lstPlayList->viewport()->mapToGlobal(p)); });

    for (QWidget* w : {static_cast<QWidget*>(lstPlayList), static_cast<QWidget*>(lblCap[0]),
                       static_cast<QWidget*>(lblCap[2]), static_cast<QWidget*>(cmbWAVMode),
                       static_cast<QWidget*>(cmbSleep), static_cast<QWidget*>(cmdClear),
                       static_cast<QWidget*>(picStatus), static_cast<QWidget*>(picScroll),
                       static_cast<QWidget*>(picLoadWav), static_cast<QWidget*>(picPlayWav)})
        w->setProperty(kDesignRect, w->geometry());
}

// A larger window: the list takes the new room and the bottom row moves down with the
// bottom edge (CLEAR keeps to the list's right edge); in the top row the status box and
// the progress strip grow to the right, the two signal lamps keep to the right edge.
void frmMenu::resizeEvent(QResizeEvent* e) {
    QWidget::resizeEvent(e);
    if (!cmdClear) return;  // not built yet
    const int dx = std::max(0, width() - kDesignSize.width());
    const int dy = std::max(0, height() - kDesignSize.height());
    auto design = [](QWidget* w) { return w->property(kDesignRect).toRect(); };
    PlaceListBox();
    for (QWidget* w : {static_cast<QWidget*>(lblCap[0]), static_cast<QWidget*>(lblCap[2]),
                       static_cast<QWidget*>(cmbWAVMode), static_cast<QWidget*>(cmbSleep)})
        w->setGeometry(design(w).translated(0, dy));
    cmdClear->setGeometry(design(cmdClear).translated(dx, dy));
    picStatus->setGeometry(design(picStatus).adjusted(0, 0, dx, 0));
    picScroll->setGeometry(design(picScroll).adjusted(0, 0, dx, 0));
    picLoadWav->setGeometry(design(picLoadWav).translated(dx, 0));
    picPlayWav->setGeometry(design(picPlayWav).translated(dx, 0));
}

}  // namespace jov
