#include "ui/play_list_box.h"

#include <QHelpEvent>
#include <QToolTip>

#include <QApplication>
#include <QDragEnterEvent>
#include <QFile>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QMimeData>
#include <QPainter>
#include <QStyledItemDelegate>
#include <QToolTip>
#include <QUrl>

#include "playlist/uri_list.h"

namespace jov {
namespace {

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

// Shift and Ctrl shape a selection (for Delete and Export); they never choose a line to play.
bool PlainChoice(Qt::KeyboardModifiers m) { return !(m & (Qt::ShiftModifier | Qt::ControlModifier)); }

}  // namespace

PlayListBox::PlayListBox(QWidget* parent) : QListWidget(parent) {
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setAcceptDrops(true);
    viewport()->setAcceptDrops(true);
    setDragDropMode(QAbstractItemView::DropOnly);
    setUniformItemSizes(true);
    // A list growing by thousands of lines is laid out a slice at a time, between events.
    setLayoutMode(QListView::Batched);
    setBatchSize(2000);
    setItemDelegate(new EntryLineDelegate(this));
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
}

std::vector<std::string> DroppedPaths(const QMimeData* data) {
    std::vector<std::string> out;
    if (!data || !data->hasUrls()) return out;
    // From the raw list: QUrl would decode a name that is not UTF-8 into U+FFFD.
    const QByteArray raw = data->data(QStringLiteral("text/uri-list"));
    if (!raw.isEmpty()) return UriListPaths(std::string_view(raw.constData(), static_cast<std::size_t>(raw.size())));
    for (const QUrl& url : data->urls()) {
        if (!url.isLocalFile()) continue;
        QString p = url.toLocalFile();
        if (p.size() > 1 && p.endsWith(QLatin1Char('/'))) p.chop(1);
        out.push_back(QFile::encodeName(p).toStdString());
    }
    return out;
}

void AcceptIfUrls(QDropEvent* e) {
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
    if (e->key() == Qt::Key_Delete) return;
    const QString text = e->text();
    if (onTypeText && !text.isEmpty() && text.at(0).isPrint() &&
        !(e->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier))) {
        onTypeText(text);
        return;
    }
    const int before = currentRow();
    QListWidget::keyPressEvent(e);
    const int after = currentRow();
    if (after >= 0 && after != before && PlainChoice(e->modifiers()) && onChosen) onChosen(after);
}

void PlayListBox::mousePressEvent(QMouseEvent* e) {
    const QModelIndex hit = indexAt(e->position().toPoint());
    if (!hit.isValid()) {
        // Below the last line: nothing to choose, and the selection stays as it is.
        setFocus(Qt::MouseFocusReason);
        e->accept();
        return;
    }
    QListWidget::mousePressEvent(e);
    if (e->button() == Qt::LeftButton && PlainChoice(e->modifiers()) && currentRow() == hit.row() && onChosen)
        onChosen(hit.row());
}

void PlayListBox::MarkLine(int row) {
    QModelIndex index = model()->index(row, 0);
    if (!index.isValid()) return;
    if (selectionModel()->selectedRows().size() > 1)
        selectionModel()->setCurrentIndex(index, QItemSelectionModel::NoUpdate);
    else
        selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect);
    scrollTo(index);
}

bool PlayListBox::viewportEvent(QEvent* e) {
    if (e->type() == QEvent::ToolTip && toolTipFor) {
        auto* help = static_cast<QHelpEvent*>(e);
        const QModelIndex at = indexAt(help->pos());
        const QString tip = at.isValid() ? toolTipFor(at.row()) : QString();
        if (tip.isEmpty()) QToolTip::hideText();
        else QToolTip::showText(help->globalPos(), tip, viewport());
        return true;
    }
    return QListWidget::viewportEvent(e);
}

}  // namespace jov
