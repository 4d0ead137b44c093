// TImeLineEdit: a one-line edit box (the windows' search boxes) whose ImeMode and ImeName take
// effect as it gains and loses the keyboard focus (input_methods.h); otherwise a plain QLineEdit.
#pragma once

#include <QLineEdit>

#include "views/input_methods.h"

class TImeLineEdit : public QLineEdit, public TImeSettings {
    Q_OBJECT

  public:
    explicit TImeLineEdit(QWidget* parent = nullptr) : QLineEdit(parent) {}

  protected:
    // The settings apply before Qt tells the input method about the newly focused box.
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
};
