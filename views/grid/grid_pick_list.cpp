#include "views/grid/grid_pick_list.h"

#include <QApplication>
#include <QKeyEvent>
#include <QListWidget>
#include <QMouseEvent>
#include <QScreen>
#include <QScrollBar>
#include <algorithm>

#include "views/grid/db_grid.h"
#include "views/grid/grid_cell_editor.h"
#include "views/grid/grid_environment.h"

namespace {

constexpr std::int64_t kSearchResetMs = 2000;
constexpr int kSearchLimit = 32;
constexpr int kFrame = 2;  // on each side, so the list is 4 pixels taller than its rows

}  // namespace

TGridPickList::TGridPickList(TDBGrid& grid)
    : QFrame(&grid, Qt::Popup | Qt::FramelessWindowHint),
      grid_(grid),
      list_(new QListWidget(this)) {
    setFrameStyle(QFrame::Panel | QFrame::Plain);
    setLineWidth(kFrame);
    setFocusPolicy(Qt::NoFocus);
    list_->setFocusPolicy(Qt::NoFocus);
    list_->setFrameShape(QFrame::NoFrame);
    list_->setUniformItemSizes(true);
    list_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    list_->viewport()->installEventFilter(this);
}

void TGridPickList::Open(TGridCellEditor& editor, const QStringList& entries, int rows,
                         bool byPress) {
    editor_ = &editor;
    openingPress_ = byPress;
    search_.clear();
    list_->clear();
    list_->addItems(entries);
    list_->setFont(editor.font());
    list_->setPalette(editor.palette());
    const QString text = editor.text();
    const auto found = std::find_if(entries.begin(), entries.end(), [&text](const QString& entry) {
        return entry.compare(text, Qt::CaseInsensitive) == 0;
    });
    Highlight(text.isEmpty() || found == entries.end() ? -1
                                                       : static_cast<int>(found - entries.begin()));
    Place(editor, rows);
    show();
}

// As wide as the editor or the widest entry with its item margins, whichever is wider, and
// exactly as high as `rows` entries (or all, if fewer), inside the frame; below the editor unless
// that reaches past the bottom of the screen. The scroll bar shows only when entries are hidden.
void TGridPickList::Place(const TGridCellEditor& editor, int rows) {
    const int shown = std::min(rows, Count());
    const bool scrolls = Count() > shown;
    list_->setVerticalScrollBarPolicy(scrolls ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff);
    const int bar = scrolls ? list_->verticalScrollBar()->sizeHint().width() : 0;
    const int frame = 2 * frameWidth();
    const QSize size(std::max(editor.width(), list_->sizeHintForColumn(0) + bar + frame),
                     list_->sizeHintForRow(0) * shown + frame);
    QPoint topLeft = editor.mapToGlobal(QPoint(0, editor.height()));
    const QScreen* screen = editor.screen();
    if (screen && topLeft.y() + size.height() > screen->geometry().bottom() + 1) {
        topLeft = editor.mapToGlobal(QPoint(0, -size.height()));
    }
    setGeometry(QRect(topLeft, size));
    list_->setGeometry(contentsRect());
}

int TGridPickList::Count() const {
    return list_->count();
}

int TGridPickList::Highlighted() const {
    return list_->currentRow();
}

QString TGridPickList::Entry(int row) const {
    return list_->item(row)->text();
}

void TGridPickList::Highlight(int row) {
    list_->setCurrentRow(row);
    if (row < 0) list_->clearSelection();
}

void TGridPickList::Step(int step) {
    if (Count() == 0) return;
    Highlight(std::clamp(Highlighted() + step, 0, Count() - 1));
}

void TGridPickList::Search(QChar character) {
    const std::int64_t now = gridenv::NowMs();
    if (now - lastSearchKey_ > kSearchResetMs) search_.clear();
    lastSearchKey_ = now;
    if (search_.size() >= kSearchLimit) return;
    search_ += character;
    for (int row = 0; row < Count(); ++row) {
        if (Entry(row).startsWith(search_, Qt::CaseInsensitive)) return Highlight(row);
    }
}

// ---- Keys and the mouse ----

// Keys reach the popup, which holds the keyboard while it is open; they belong to the editor.
void TGridPickList::keyPressEvent(QKeyEvent* event) {
    if (editor_) QApplication::sendEvent(editor_, event);
}

bool TGridPickList::ContainsGlobal(QPointF global) const {
    return QRect(mapToGlobal(QPoint(0, 0)), size()).contains(global.toPoint());
}

void TGridPickList::mousePressEvent(QMouseEvent* event) {
    if (ContainsGlobal(event->globalPosition())) return;
    // A press on the drop-down button only closes the list; it must not reopen it.
    const bool onButton =
        editor_ && editor_->PickListStyle() &&
        editor_->ButtonRect().contains(editor_->mapFromGlobal(event->globalPosition().toPoint()));
    setAttribute(Qt::WA_NoMouseReplay, onButton);
    grid_.CloseUp(false);
}

void TGridPickList::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return;
    if (openingPress_) {
        openingPress_ = false;
        return;
    }
    if (!ContainsGlobal(event->globalPosition())) grid_.CloseUp(false);
}

bool TGridPickList::eventFilter(QObject* watched, QEvent* event) {
    if (watched != list_->viewport() || event->type() != QEvent::MouseButtonRelease) {
        return QFrame::eventFilter(watched, event);
    }
    auto* release = static_cast<QMouseEvent*>(event);
    if (release->button() != Qt::LeftButton) return true;
    openingPress_ = false;
    const QModelIndex index = list_->indexAt(release->position().toPoint());
    if (!ContainsGlobal(release->globalPosition()) || !index.isValid()) {
        grid_.CloseUp(false);
        return true;
    }
    Highlight(index.row());
    grid_.CloseUp(true);
    return true;
}
