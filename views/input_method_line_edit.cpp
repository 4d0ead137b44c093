#include "views/input_method_line_edit.h"

void TImeLineEdit::focusInEvent(QFocusEvent* event) {
    ImeEnter(this);
    QLineEdit::focusInEvent(event);
}

void TImeLineEdit::focusOutEvent(QFocusEvent* event) {
    ImeLeave(this);
    QLineEdit::focusOutEvent(event);
}
