// TDBMemo: a multi-line edit box that shows and edits one field of the current record of its
// data source's record set (in this system a memo field of the current visit).
//
// Display. The memo reloads when the record set opens, closes, moves or is refreshed, when the
// whole record changes (edit, insert, cancel, post) and when its own field changes; a change of
// another field leaves it alone. It shows the field's text with every line break (CR LF, a lone
// CR or a lone LF) as a break; without a field or with the record set closed it is empty. A
// memo field's text longer than kCapacity characters (a break counting as CR LF) is not shown:
// the memo shows "(Text exceeds memo capacity)" instead and does not count as loaded. Every
// reload discards the unwritten text.
//
// Editing. The text changes only while it is loaded and the record set is editing, or, on a
// double-byte locale, while the memo has the focus and its field can be modified. Before a key
// or command that changes text (characters, Backspace, Enter, Ctrl+J, Delete, cut, paste, undo,
// drops, input-method commits) the memo asks its data source for edit state, so the first key
// both starts editing and is applied. A character the field does not accept beeps. Esc reloads.
// A change sets memo modified; the field is written (lines joined by CR LF) only when the
// focus moves to another control of the same window and when the record set gathers pending
// edits (before a post or a move). If the write on leaving fails, the memo takes the focus back
// and the failure goes on to the user. Entering or leaving edit state clears memo modified.
//
// DataField matches a field of the record set ignoring case; the field is bound while the
// record set is open. Assigning an open record set's unknown name fails with
// "<objectName>: Field '<name>' not found" and keeps the field shown before. Tab moves the
// focus. ImeMode and ImeName take effect as the memo gains and loses the focus.
#pragma once

#include <QPlainTextEdit>
#include <functional>
#include <string>

#include "data/data_source.h"
#include "views/input_methods.h"

enum class TScrollStyle { ssNone, ssHorizontal, ssVertical, ssBoth };

class TDBMemo : public QPlainTextEdit, public TImeSettings {
    Q_OBJECT

  public:
    // Far beyond any clinical note, and small enough that the plain-text layout stays quick.
    static constexpr int kCapacity = 1 << 20;
    // Shown instead of a text too long to edit, in the program's language.
    static QString CapacityMessage();

    explicit TDBMemo(QWidget* parent = nullptr);

    TDataSource* DataSource() const { return link_.DataSource(); }
    void SetDataSource(TDataSource* source);
    const std::string& DataField() const { return dataField_; }
    void SetDataField(const std::string& name);
    // The bound field; nullptr without one or while the record set is closed.
    TField* Field() const { return field_; }

    QFont Font() const { return font(); }
    void SetFont(const QFont& font) { setFont(font); }
    TScrollStyle ScrollBars() const { return scrollBars_; }
    void SetScrollBars(TScrollStyle style);
    const QString& Hint() const { return hint_; }
    void SetHint(const QString& hint);
    bool ShowHint() const { return showHint_; }
    void SetShowHint(bool show);

    std::function<void(TDBMemo*)> OnDblClick;

    // The memo's three flags: its text is its field's value; it has the focus of its window;
    // the user changed the text since it was loaded and it is not yet written.
    bool Loaded() const { return loaded_; }
    bool Focused() const { return focused_; }
    bool MemoModified() const { return memoModified_; }

  protected:
    void keyPressEvent(QKeyEvent* event) override;
    void inputMethodEvent(QInputMethodEvent* event) override;
    void insertFromMimeData(const QMimeData* source) override;
    void dropEvent(QDropEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

  private:
    class Link : public TDataLink {
      public:
        explicit Link(TDBMemo& memo) : memo_(memo) {}
        void DataEvent(TDataEvent event, TField* field, int distance) override;

      private:
        TDBMemo& memo_;
    };

    // ---- Field and display (db_memo.cpp) ----
    bool Active() const;
    bool Editing() const;
    bool CanModifyField() const;
    void StateChanged();
    void Rebind();
    void Reload();
    QString ShownText() const;
    void WritePending();
    void ApplyHint();

    // ---- Input (db_memo_input.cpp) ----
    bool Changeable() const;
    // Asks for edit state before a change; answers whether the text may now change.
    bool PrepareChange();
    void ReplaceEditingActions(QMenu& menu);
    bool FocusStaysInWindow() const;
    void WriteOnLeaving();

    Link link_{*this};
    std::string dataField_;
    TField* field_ = nullptr;
    bool active_ = false;   // the record set was open at the last look
    bool editing_ = false;  // ... and editing
    bool loaded_ = false;
    bool focused_ = false;
    bool memoModified_ = false;
    bool reloading_ = false;
    TScrollStyle scrollBars_ = TScrollStyle::ssNone;
    QString hint_;
    bool showHint_ = false;
};
