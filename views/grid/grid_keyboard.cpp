// TDBGrid: the keys, whether they reach the grid directly or through its open cell editor.
#include <QApplication>
#include <QKeyEvent>
#include <algorithm>
#include <vector>

#include "views/confirm_delete.h"
#include "views/grid/db_grid.h"
#include "views/grid/grid_cell_editor.h"

void TDBGrid::keyPressEvent(QKeyEvent* event) {
    if (!HandleKey(event)) event->ignore();
}

// Answers whether the grid took the key. Keys act only while the record set is open.
bool TDBGrid::HandleKey(QKeyEvent* event) {
    if (!DataSetActive()) return false;
    if (HandleControlKey(event) || HandleMoveKey(event)) return true;
    const bool typing = TGridCellEditor::IsTyped(*event) || event->key() == Qt::Key_Backspace;
    if (editorMode_ || !typing) return false;
    TypeIntoEditor(event);
    return true;
}

bool TDBGrid::HandleControlKey(QKeyEvent* event) {
    const Qt::KeyboardModifiers modifiers = event->modifiers() & ~Qt::KeypadModifier;
    if (!(modifiers & Qt::ControlModifier)) return false;
    const bool rightToLeft = layoutDirection() == Qt::RightToLeft;
    switch (event->key()) {
        case Qt::Key_Up:
        case Qt::Key_PageUp:
            MoveToShownRow(false);
            break;
        case Qt::Key_Down:
        case Qt::Key_PageDown:
            MoveToShownRow(true);
            break;
        case Qt::Key_Home:
            DataSet()->First();
            break;
        case Qt::Key_End:
            DataSet()->Last();
            break;
        case Qt::Key_Left:
            SelectEndColumn(rightToLeft);
            break;
        case Qt::Key_Right:
            SelectEndColumn(!rightToLeft);
            break;
        case Qt::Key_Delete:
            KeyDelete();
            break;
        case Qt::Key_Insert:
            break;  // copies in the editor; nothing in the grid
        default:
            return false;
    }
    return true;
}

bool TDBGrid::HandleMoveKey(QKeyEvent* event) {
    const Qt::KeyboardModifiers modifiers = event->modifiers() & ~Qt::KeypadModifier;
    const int step = layoutDirection() == Qt::RightToLeft ? -1 : 1;
    const bool singleColumn = VisibleColumns().size() == 1;
    switch (event->key()) {
        case Qt::Key_Up:
            KeyUp();
            break;
        case Qt::Key_Down:
            KeyDown();
            break;
        case Qt::Key_PageUp:
            DataSet()->MoveBy(-rowCount_);
            break;
        case Qt::Key_PageDown:
            DataSet()->MoveBy(rowCount_);
            break;
        case Qt::Key_Left:
            StepColumn(-step);
            break;
        case Qt::Key_Right:
            StepColumn(step);
            break;
        case Qt::Key_Home:
            singleColumn ? DataSet()->First() : SelectEndColumn(false);
            break;
        case Qt::Key_End:
            singleColumn ? DataSet()->Last() : SelectEndColumn(true);
            break;
        case Qt::Key_Tab:
        case Qt::Key_Backtab:
            if (modifiers & Qt::AltModifier) return false;
            KeyTab(event->key() == Qt::Key_Tab && !(modifiers & Qt::ShiftModifier));
            break;
        case Qt::Key_Return:
        case Qt::Key_Enter:
            KeyEnter();
            break;
        case Qt::Key_F2:
            KeyF2();
            break;
        case Qt::Key_Escape:
            KeyEscape();
            break;
        case Qt::Key_Insert:
            // Shift+Insert pastes in an open editor.
            if (modifiers != Qt::NoModifier && (modifiers != Qt::ShiftModifier || editorMode_)) {
                return false;
            }
            KeyInsert();
            break;
        default:
            return false;
    }
    return true;
}

// Opens the editor and types the key into it, so that a character replaces the whole text.
void TDBGrid::TypeIntoEditor(QKeyEvent* event) {
    ShowEditor(true);
    if (!editorMode_) return;
    QKeyEvent typed(event->type(), event->key(), event->modifiers(), event->text());
    QApplication::sendEvent(editor_, &typed);
}

void TDBGrid::inputMethodEvent(QInputMethodEvent* event) {
    if (!editorMode_ && DataSetActive()) ShowEditor(true);
    if (!editorMode_) return QAbstractScrollArea::inputMethodEvent(event);
    QInputMethodEvent composed(event->preeditString(), event->attributes());
    composed.setCommitString(event->commitString(), event->replacementStart(),
                             event->replacementLength());
    QApplication::sendEvent(editor_, &composed);
}

// ---- Records ----

void TDBGrid::KeyUp() {
    if (UntouchedInsert() && DataSet()->Eof()) return DataSet()->Cancel();
    DataSet()->Prior();
}

void TDBGrid::KeyDown() {
    TDataSet& dataSet = *DataSet();
    if (UntouchedInsert()) {
        if (!dataSet.Eof()) dataSet.Cancel();
        return;
    }
    dataSet.Next();
    if (dataSet.Eof() && CanModifyDataSet() && Option(TDBGridOption::dgEditing)) dataSet.Append();
}

void TDBGrid::MoveToShownRow(bool bottom) {
    TDataSet& dataSet = *DataSet();
    const int last = std::min(dataSet.BufferCount(), rowCount_) - 1;
    dataSet.MoveBy(bottom ? last - dataSet.ActiveRecord() : -dataSet.ActiveRecord());
}

void TDBGrid::KeyInsert() {
    if (CanModifyDataSet() && Option(TDBGridOption::dgEditing)) DataSet()->Insert();
}

void TDBGrid::KeyDelete() {
    if (!CanModifyDataSet() || DataSet()->IsEmpty()) return;
    if (Option(TDBGridOption::dgConfirmDelete) && !ConfirmDelete(this)) return;
    DataSet()->Delete();
}

// ---- Columns ----

// Left and Right pass over columns of zero width only, so they reach read-only ones too.
void TDBGrid::StepColumn(int step) {
    const std::vector<int> visible = VisibleColumns();
    const auto current = std::find(visible.begin(), visible.end(), selected_);
    if (current == visible.end()) return;
    for (auto i = current - visible.begin() + step; i >= 0 && i < std::ssize(visible); i += step) {
        const int index = visible[static_cast<std::size_t>(i)];
        if (columns_[index]->Width() > 0) return ChangeColumn(index);
    }
}

void TDBGrid::SelectEndColumn(bool last) {
    const std::vector<int> visible = VisibleColumns();
    if (!visible.empty()) ChangeColumn(last ? visible.back() : visible.front());
}

// Tab moves among the tab stops; past the last it acts as Down and goes on from the first,
// before the first (Shift+Tab) it acts as Up and goes on from the last.
void TDBGrid::KeyTab(bool forward) {
    std::vector<int> stops;
    for (int index : VisibleColumns()) {
        if (columns_[index]->IsTabStop()) stops.push_back(index);
    }
    if (!forward) std::reverse(stops.begin(), stops.end());
    const auto next = std::find_if(stops.begin(), stops.end(), [this, forward](int index) {
        return forward ? index > selected_ : index < selected_;
    });
    if (next != stops.end()) return ChangeColumn(*next);
    forward ? KeyDown() : KeyUp();
    if (!stops.empty()) ChangeColumn(stops.front());
}

// ---- The editor ----

void TDBGrid::KeyEnter() {
    if (!editorMode_) return ShowEditor(true);
    WritePendingText();
    HideEditor();
}

void TDBGrid::KeyF2() {
    if (!editorMode_) return ShowEditor(false);
    editor_->deselect();
    editor_->end(false);
}

// Esc discards the pending text if there is any, else cancels the record's changes.
void TDBGrid::KeyEscape() {
    if (cellModified_) {
        DiscardPendingText();
    } else {
        DataSet()->Cancel();
    }
    HideEditor();
}
