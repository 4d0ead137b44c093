#include "views/grid/grid_cell_editor.h"

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QPainter>
#include <QStyle>
#include <QStyleHints>
#include <QStyleOptionButton>

#include "base/gbk_text.h"
#include "views/grid/db_grid.h"
#include "views/grid/grid_pick_list.h"

TGridCellEditor::TGridCellEditor(TDBGrid& grid) : QLineEdit(grid.viewport()), grid_(grid) {
    setFrame(false);
    setAcceptDrops(false);
    hide();
}

void TGridCellEditor::Configure(const TSettings& settings) {
    settings_ = settings;
    setFont(settings.font);
    setTextMargins(0, 0, settings.pickList ? ButtonRect().width() : 0, 0);
}

QRect TGridCellEditor::ButtonRect() const {
    const int width = style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, this);
    return QRect(rect().right() - width + 1, 0, width, height());
}

void TGridCellEditor::InsertLimited(const QString& text) {
    QString inserted = text;
    if (settings_.maxBytes > 0) {
        const QString kept = this->text().remove(selectionStart(), selectedText().size());
        const long room = settings_.maxBytes - static_cast<long>(gbk::Length(kept.toStdString()));
        const std::string whole = inserted.toStdString();
        inserted = QString::fromStdString(
            std::string(gbk::Cut(whole, static_cast<std::size_t>(std::max(0L, room)))));
    }
    if (inserted.isEmpty() && !hasSelectedText()) return;
    insert(inserted);
}

void TGridCellEditor::ChangeIfAllowed(const std::function<void()>& change) {
    if (grid_.AllowCellChange()) change();
}

// ---- Keys ----

bool TGridCellEditor::PassesToGrid(const QKeyEvent& event) const {
    const Qt::KeyboardModifiers modifiers = event.modifiers() & ~Qt::KeypadModifier;
    switch (event.key()) {
        case Qt::Key_Up:
        case Qt::Key_Down:
        case Qt::Key_PageUp:
        case Qt::Key_PageDown:
        case Qt::Key_Escape:
        case Qt::Key_Return:
        case Qt::Key_Enter:
        case Qt::Key_F2:
            return true;
        case Qt::Key_Tab:
        case Qt::Key_Backtab:
            return !(modifiers & Qt::AltModifier);
        case Qt::Key_Insert:
            return modifiers == Qt::NoModifier;
        case Qt::Key_Delete:
            return modifiers == Qt::ControlModifier;
        default:
            return false;
    }
}

bool TGridCellEditor::ChangesText(const QKeyEvent& event) {
    static const QKeySequence::StandardKey kChanges[] = {
        QKeySequence::Paste,
        QKeySequence::Cut,
        QKeySequence::Undo,
        QKeySequence::Redo,
        QKeySequence::Delete,
        QKeySequence::DeleteStartOfWord,
        QKeySequence::DeleteEndOfLine,
        QKeySequence::DeleteCompleteLine,
    };
    if (event.key() == Qt::Key_Backspace || event.key() == Qt::Key_Delete) return true;
    for (QKeySequence::StandardKey change : kChanges) {
        if (event.matches(change)) return true;
    }
    return false;
}

bool TGridCellEditor::IsTyped(const QKeyEvent& event) {
    if (event.modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier))
        return false;
    const QString text = event.text();
    return !text.isEmpty() && text.front().isPrint();
}

void TGridCellEditor::keyPressEvent(QKeyEvent* event) {
    if (grid_.PickListKey(event)) return;
    const bool alt = event->modifiers() & Qt::AltModifier;
    if (alt && settings_.pickList && (event->key() == Qt::Key_Down || event->key() == Qt::Key_Up)) {
        return grid_.DropDown();
    }
    if (PassesToGrid(*event)) {
        grid_.HandleKey(event);
        return;
    }
    if (IsTyped(*event)) return Type(event->text());
    if (!ChangesText(*event)) return QLineEdit::keyPressEvent(event);
    if (event->matches(QKeySequence::Paste)) return ChangeIfAllowed([this] { Paste(); });
    ChangeIfAllowed([this, event] { QLineEdit::keyPressEvent(event); });
}

void TGridCellEditor::Type(const QString& text) {
    if (!grid_.AcceptsCharacter(text.front())) return;
    ChangeIfAllowed([this, &text] { InsertLimited(text); });
}

void TGridCellEditor::Paste() {
    InsertLimited(QGuiApplication::clipboard()->text());
}

// Composed text is a change like a typed character; what is still being composed is not.
void TGridCellEditor::inputMethodEvent(QInputMethodEvent* event) {
    const QString committed = event->commitString();
    QInputMethodEvent composing(event->preeditString(), event->attributes());
    QLineEdit::inputMethodEvent(&composing);
    if (!committed.isEmpty()) ChangeIfAllowed([this, &committed] { InsertLimited(committed); });
}

// ---- Mouse ----

void TGridCellEditor::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return QLineEdit::mousePressEvent(event);
    if (settings_.pickList && ButtonRect().contains(event->position().toPoint())) {
        if (grid_.pickList_->isVisible()) return grid_.CloseUp(false);
        return grid_.DropDown(true);
    }
    // The grid's press opened the editor under the pointer; this press completes a double-click.
    const auto interval =
        static_cast<std::uint64_t>(QGuiApplication::styleHints()->mouseDoubleClickInterval());
    if (grid_.leftPressSeen_ && event->timestamp() - grid_.lastLeftPress_ <= interval) {
        grid_.leftPressSeen_ = false;
        return grid_.EditorDoubleClick();
    }
    QLineEdit::mousePressEvent(event);
}

// Pasting the selection with the middle button is a change like any other paste.
void TGridCellEditor::mouseReleaseEvent(QMouseEvent* event) {
    QClipboard* clipboard = QGuiApplication::clipboard();
    if (event->button() != Qt::MiddleButton || !clipboard->supportsSelection()) {
        return QLineEdit::mouseReleaseEvent(event);
    }
    ChangeIfAllowed([this, clipboard] { InsertLimited(clipboard->text(QClipboard::Selection)); });
}

void TGridCellEditor::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return QLineEdit::mouseDoubleClickEvent(event);
    if (settings_.pickList && ButtonRect().contains(event->position().toPoint())) {
        return mousePressEvent(event);
    }
    grid_.EditorDoubleClick();
}

// ---- Focus ----

void TGridCellEditor::focusInEvent(QFocusEvent* event) {
    QLineEdit::focusInEvent(event);
    if (event->reason() == Qt::PopupFocusReason) return;
    grid_.focusWithin_ = true;
    ImeFocusIn(this, settings_.imeMode, settings_.imeName);
}

void TGridCellEditor::focusOutEvent(QFocusEvent* event) {
    QLineEdit::focusOutEvent(event);
    if (event->reason() == Qt::PopupFocusReason) return;
    grid_.CloseUp(false);
    grid_.FocusLeft(event, this);
}

// ---- Context menu and painting ----

// A line edit's own menu in its own words (QLineEdit's, translated as Qt's menus are), with the
// changes asking the grid first.
void TGridCellEditor::contextMenuEvent(QContextMenuEvent* event) {
    QMenu menu(this);
    menu.addAction(QLineEdit::tr("&Undo"), [this] { ChangeIfAllowed([this] { undo(); }); })
        ->setEnabled(isUndoAvailable());
    menu.addSeparator();
    menu.addAction(QLineEdit::tr("Cu&t"), [this] { ChangeIfAllowed([this] { cut(); }); })
        ->setEnabled(hasSelectedText());
    menu.addAction(QLineEdit::tr("&Copy"), [this] { copy(); })->setEnabled(hasSelectedText());
    menu.addAction(QLineEdit::tr("&Paste"), [this] { ChangeIfAllowed([this] { Paste(); }); });
    menu.addAction(QLineEdit::tr("Delete"), [this] { ChangeIfAllowed([this] { del(); }); })
        ->setEnabled(hasSelectedText());
    menu.addSeparator();
    menu.addAction(QLineEdit::tr("Select All"), [this] { selectAll(); });
    menu.exec(event->globalPos());
}

void TGridCellEditor::paintEvent(QPaintEvent* event) {
    QLineEdit::paintEvent(event);
    if (!settings_.pickList) return;
    QPainter painter(this);
    QStyleOptionButton button;
    button.initFrom(this);
    button.rect = ButtonRect();
    button.state |= grid_.pickList_->isVisible() ? QStyle::State_Sunken : QStyle::State_Raised;
    style()->drawControl(QStyle::CE_PushButtonBevel, &button, &painter, this);
    QStyleOption arrow(button);
    arrow.rect = button.rect.adjusted(3, 3, -3, -3);
    style()->drawPrimitive(QStyle::PE_IndicatorArrowDown, &arrow, &painter, this);
}
