// TDBMemo's input: which keys and commands change the text, the edit request before them, the
// focus and the double-click.
#include <QApplication>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QMimeData>
#include <algorithm>
#include <memory>

#include "views/db_memo.h"

namespace {

bool IsCtrlJ(const QKeyEvent& event) {
    return event.key() == Qt::Key_J && event.modifiers() == Qt::ControlModifier;
}

// A key that types its text: no Ctrl or Meta, and no control character.
bool IsCharacter(const QKeyEvent& event) {
    return !event.text().isEmpty() &&
           !(event.modifiers() & (Qt::ControlModifier | Qt::MetaModifier)) &&
           event.text().at(0).category() != QChar::Other_Control;
}

bool ChangesText(const QKeyEvent& event) {
    switch (event.key()) {
        case Qt::Key_Backspace:
        case Qt::Key_Tab:
        case Qt::Key_Return:
        case Qt::Key_Enter:
        case Qt::Key_Delete:
            return true;
        default:
            break;
    }
    for (QKeySequence::StandardKey key :
         {QKeySequence::Paste, QKeySequence::Cut, QKeySequence::Undo, QKeySequence::Redo,
          QKeySequence::DeleteEndOfLine, QKeySequence::DeleteCompleteLine}) {
        if (event.matches(key)) return true;
    }
    return IsCtrlJ(event) || IsCharacter(event);
}

// Number fields take digits and signs; every other kind takes any character.
bool Accepts(const TField& field, const QString& text) {
    switch (field.DataType()) {
        case TFieldType::ftSmallint:
        case TFieldType::ftInteger:
        case TFieldType::ftWord:
        case TFieldType::ftAutoInc:
            return std::all_of(text.begin(), text.end(), [](QChar c) {
                return c.isDigit() || c == QLatin1Char('+') || c == QLatin1Char('-');
            });
        default:
            return true;
    }
}

}  // namespace

bool TDBMemo::Changeable() const {
    return loaded_ &&
           (Editing() || (focused_ && InputMethods().DoubleByteLocale() && CanModifyField()));
}

bool TDBMemo::PrepareChange() {
    if (CanModifyField()) link_.DataSource()->Edit();
    return Changeable();
}

void TDBMemo::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape) {
        Reload();
        return event->accept();
    }
    if (!ChangesText(*event)) return QPlainTextEdit::keyPressEvent(event);
    event->accept();
    if (!PrepareChange()) return;
    if (IsCharacter(*event) && !Accepts(*field_, event->text())) return QApplication::beep();
    if (IsCtrlJ(*event)) return insertPlainText(QStringLiteral("\n"));
    QPlainTextEdit::keyPressEvent(event);
}

void TDBMemo::inputMethodEvent(QInputMethodEvent* event) {
    if (event->commitString().isEmpty() || PrepareChange()) {
        return QPlainTextEdit::inputMethodEvent(event);
    }
    // The composition goes on showing; its result is not taken.
    QInputMethodEvent composing(event->preeditString(), event->attributes());
    QPlainTextEdit::inputMethodEvent(&composing);
}

void TDBMemo::insertFromMimeData(const QMimeData* source) {
    if (PrepareChange()) QPlainTextEdit::insertFromMimeData(source);
}

void TDBMemo::dropEvent(QDropEvent* event) {
    if (!PrepareChange()) return event->ignore();
    QPlainTextEdit::dropEvent(event);
}

void TDBMemo::contextMenuEvent(QContextMenuEvent* event) {
    const std::unique_ptr<QMenu> menu(createStandardContextMenu(event->pos()));
    ReplaceEditingActions(*menu);
    menu->exec(event->globalPos());
}

// The standard menu's commands that change the text, redone so that they ask for edit first.
void TDBMemo::ReplaceEditingActions(QMenu& menu) {
    const std::pair<const char*, std::function<void()>> commands[] = {
        {"edit-undo", [this] { undo(); }},
        {"edit-redo", [this] { redo(); }},
        {"edit-cut", [this] { cut(); }},
        {"edit-paste", [this] { paste(); }},
        {"edit-delete", [this] { textCursor().removeSelectedText(); }}};
    for (QAction* standard : menu.actions()) {
        for (const auto& [name, command] : commands) {
            if (standard->objectName() != QLatin1String(name)) continue;
            auto* action = new QAction(standard->text(), &menu);
            action->setIcon(standard->icon());
            action->setEnabled(standard->isEnabled());
            connect(action, &QAction::triggered, this, [this, command = command] {
                if (PrepareChange()) command();
            });
            menu.insertAction(standard, action);
            menu.removeAction(standard);
        }
    }
}

void TDBMemo::focusInEvent(QFocusEvent* event) {
    focused_ = true;
    ImeEnter(this);
    QPlainTextEdit::focusInEvent(event);
}

void TDBMemo::focusOutEvent(QFocusEvent* event) {
    if (FocusStaysInWindow()) {
        WriteOnLeaving();
        focused_ = false;
    }
    ImeLeave(this);
    QPlainTextEdit::focusOutEvent(event);
}

// Qt has already made the next control the focus widget; activating another window moves the
// focus out of this one and so does not count.
bool TDBMemo::FocusStaysInWindow() const {
    const QWidget* next = QApplication::focusWidget();
    return next && next != this && next->window() == window();
}

void TDBMemo::WriteOnLeaving() {
    try {
        WritePending();
    } catch (...) {
        setFocus(Qt::OtherFocusReason);  // the user corrects the text here; the failure goes on
        throw;
    }
}

void TDBMemo::mouseDoubleClickEvent(QMouseEvent* event) {
    QPlainTextEdit::mouseDoubleClickEvent(event);
    if (OnDblClick) OnDblClick(this);
}
