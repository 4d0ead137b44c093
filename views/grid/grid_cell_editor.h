// The grid's cell editor: a one-line edit box laid over the current cell. Its text is the
// pending cell text, which the grid writes into the field; the editor itself writes nothing.
//
// Contracts:
// - Before any change of its text by the user (a character, Backspace, Delete, cut, paste,
//   undo, an input method's text, the context menu's commands) it asks the grid whether the
//   cell may change; a refused change is swallowed. A character the field does not accept is
//   dropped with a beep before that.
// - With a byte limit (text fields: their size), the text never grows past that many GBK bytes;
//   typing or pasting is cut at a character boundary.
// - Up, Down, PgUp, PgDn, Esc, Tab, Enter, F2, Insert (alone) and Ctrl+Delete go to the grid;
//   Left, Right, Home and End move the caret. While the drop-down list is open, keys go to it.
// - In the pick-list style a drop-down button as wide as a vertical scroll bar sits at the right.
#pragma once

#include <QLineEdit>
#include <functional>
#include <string>

#include "views/input_methods.h"

class TDBGrid;

class TGridCellEditor : public QLineEdit {
  public:
    explicit TGridCellEditor(TDBGrid& grid);

    // What the editor takes from the column each time it is loaded; maxBytes 0: no limit.
    struct TSettings {
        QFont font;
        int maxBytes = 0;
        bool pickList = false;
        TImeMode imeMode = TImeMode::imDontCare;
        std::string imeName;
    };
    void Configure(const TSettings& settings);
    int MaxBytes() const { return settings_.maxBytes; }
    bool PickListStyle() const { return settings_.pickList; }
    QRect ButtonRect() const;

    // Replaces the selection with as much of `text` as the byte limit leaves room for.
    void InsertLimited(const QString& text);
    // Runs `change` if the grid allows the cell to change.
    void ChangeIfAllowed(const std::function<void()>& change);

    // Whether the key types a printable character.
    static bool IsTyped(const QKeyEvent& event);

  protected:
    void keyPressEvent(QKeyEvent* event) override;
    void inputMethodEvent(QInputMethodEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

  private:
    bool PassesToGrid(const QKeyEvent& event) const;
    static bool ChangesText(const QKeyEvent& event);
    void Type(const QString& text);
    void Paste();

    TDBGrid& grid_;
    TSettings settings_;
};
