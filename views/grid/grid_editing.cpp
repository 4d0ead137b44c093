// TDBGrid: the cell editor and its drop-down list.
#include <QApplication>
#include <QKeyEvent>

#include "views/grid/db_grid.h"
#include "views/grid/grid_cell_editor.h"
#include "views/grid/grid_pick_list.h"

bool TDBGrid::CanShowEditor() const {
    return Option(TDBGridOption::dgEditing) && !Option(TDBGridOption::dgRowSelect) &&
           DataSetActive() && SelectedColumn();
}

// Opens the editor on the current cell, its text all selected or the caret at its end.
void TDBGrid::ShowEditor(bool selectAll) {
    if (!CanShowEditor()) return;
    if (!editorMode_) {
        editorMode_ = true;
        LoadEditor(selectAll);
    }
    PlaceEditor();
    editor_->show();
    editor_->setFocus(Qt::OtherFocusReason);
    viewport()->update();
}

void TDBGrid::HideEditor() {
    CloseUp(false);
    if (!editorMode_) return;
    editorMode_ = false;
    // The focus stays in the grid rather than wandering to the next control.
    if (editor_->hasFocus()) setFocus(Qt::OtherFocusReason);
    editor_->hide();
    viewport()->update();
}

// What the editor takes from the current column each time it is loaded.
void TDBGrid::ConfigureEditor() {
    const TColumn* column = SelectedColumn();
    const TField* field = SelectedField();
    const bool text = field && field->DataType() == TFieldType::ftString;
    editor_->Configure({column->Font(), text ? field->Size() : 0, column->OffersPickList(),
                        column->ImeMode(), column->ImeName()});
    editor_->setAlignment(ToQtAlignment(column->Alignment()) | Qt::AlignVCenter);
}

void TDBGrid::LoadEditor(bool selectAll) {
    ConfigureEditor();
    editor_->setText(FieldText());
    if (selectAll) {
        editor_->selectAll();
    } else {
        editor_->deselect();
        editor_->end(false);
    }
}

// An open editor shows its field anew; text that did not change keeps the caret and selection.
void TDBGrid::ReloadEditor() {
    if (!editorMode_) return;
    const QString text = FieldText();
    if (editor_->text() == text) return;
    editor_->setText(text);
    editor_->selectAll();
}

void TDBGrid::PlaceEditor() {
    if (editorMode_) editor_->setGeometry(CellRect(selected_, CurrentRow()));
}

// A double-click on the editor. On a pick-list column of a grid without an OnDblClick handler
// it steps the text to the entry after the highlighted one in the list as last filled; that
// step is not a change of the cell, so it reaches the field only if the cell was modified.
void TDBGrid::EditorDoubleClick() {
    const TColumn* column = SelectedColumn();
    if (!column || !column->OffersPickList() || OnDblClick) return RaiseDblClick();
    if (pickList_->Count() == 0) return;
    const int next = (pickList_->Highlighted() + 1) % pickList_->Count();
    pickList_->Highlight(next);
    editor_->setText(pickList_->Entry(next));
}

void TDBGrid::DropDown(bool byPress) {
    const TColumn* column = SelectedColumn();
    if (!editorMode_ || !column || !column->OffersPickList() || pickList_->isVisible()) return;
    pickList_->Open(*editor_, column->PickList(), column->DropDownRows(), byPress);
    editor_->update();
}

void TDBGrid::CloseUp(bool choose) {
    if (!pickList_->isVisible()) return;
    const int row = pickList_->Highlighted();
    pickList_->hide();
    editor_->update();
    if (choose && row >= 0) Choose(row);
}

// A chosen entry goes into the field at once, as a typed text would after Enter.
void TDBGrid::Choose(int row) {
    if (!AllowCellChange()) return;
    SelectedField()->SetAsString(pickList_->Entry(row).toStdString());
    cellModified_ = false;
}

// Keys typed into the editor while the drop-down list is open; answers whether it took the key.
bool TDBGrid::PickListKey(QKeyEvent* event) {
    if (!pickList_->isVisible()) return false;
    const bool alt = event->modifiers() & Qt::AltModifier;
    switch (event->key()) {
        case Qt::Key_Up:
        case Qt::Key_Down:
            if (alt) {
                CloseUp(true);
            } else {
                pickList_->Step(event->key() == Qt::Key_Down ? 1 : -1);
            }
            break;
        case Qt::Key_Return:
        case Qt::Key_Enter:
            CloseUp(true);
            KeyEnter();
            break;
        case Qt::Key_Escape:
            CloseUp(false);
            break;
        case Qt::Key_Backspace:
            pickList_->ClearSearch();
            break;
        default:
            if (TGridCellEditor::IsTyped(*event)) pickList_->Search(event->text().front());
            break;
    }
    return true;
}
