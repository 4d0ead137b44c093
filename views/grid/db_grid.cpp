#include "views/grid/db_grid.h"

#include <QApplication>
#include <QFocusEvent>
#include <QScrollBar>

#include "views/grid/grid_cell_editor.h"
#include "views/grid/grid_data_link.h"
#include "views/grid/grid_environment.h"
#include "views/grid/grid_pick_list.h"

namespace {

bool Editing(TDataSetState state) {
    return state == TDataSetState::dsEdit || state == TDataSetState::dsInsert;
}

bool IsIntegerKind(TFieldType type) {
    return type == TFieldType::ftSmallint || type == TFieldType::ftInteger ||
           type == TFieldType::ftAutoInc || type == TFieldType::ftWord;
}

// Memos and other blobs are edited elsewhere, never in a cell.
bool TakesText(TFieldType type) {
    return type != TFieldType::ftMemo && type != TFieldType::ftBlob;
}

}  // namespace

// ---- Options ----

TDBGridOptions::TDBGridOptions(std::initializer_list<TDBGridOption> options) {
    for (TDBGridOption option : options) bits_ |= Bit(option);
}

TDBGridOptions TDBGridOptions::With(TDBGridOption option) const {
    TDBGridOptions result = *this;
    result.bits_ |= Bit(option);
    return result;
}

TDBGridOptions TDBGridOptions::Without(TDBGridOption option) const {
    TDBGridOptions result = *this;
    result.bits_ &= ~Bit(option);
    return result;
}

TDBGridOptions DefaultGridOptions() {
    using enum TDBGridOption;
    return {dgEditing,  dgTitles, dgIndicator,     dgColumnResize, dgColLines,
            dgRowLines, dgTabs,   dgConfirmDelete, dgCancelOnExit};
}

// ---- Construction and properties ----

TDBGrid::TDBGrid(QWidget* parent)
    : QAbstractScrollArea(parent),
      dataLink_(std::make_unique<TGridDataLink>(*this)),
      titleFont_(font()) {
    editor_ = new TGridCellEditor(*this);
    pickList_ = new TGridPickList(*this);
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_InputMethodEnabled);
    viewport()->setMouseTracking(true);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    ConnectScrollBars();
    LayoutChanged();
}

TDBGrid::~TDBGrid() {
    dataLink_->SetDataSource(nullptr);
}

TDataSource* TDBGrid::DataSource() const {
    return dataLink_->DataSource();
}

void TDBGrid::SetDataSource(TDataSource* source) {
    if (source == DataSource()) return;
    HideEditor();
    cellModified_ = false;
    dataLink_->SetDataSource(source);
    LayoutChanged();
}

TDataSet* TDBGrid::DataSet() const {
    return dataLink_->DataSet();
}

void TDBGrid::SetTitleFont(const QFont& font) {
    titleFont_ = font;
    LayoutChanged();
}

void TDBGrid::SetOptions(TDBGridOptions options) {
    options_ = options;
    LayoutChanged();
}

void TDBGrid::SetReadOnly(bool readOnly) {
    readOnly_ = readOnly;
    LayoutChanged();
}

void TDBGrid::SetHint(const QString& hint) {
    hint_ = hint;
    setToolTip(showHint_ ? hint_ : QString());
}

void TDBGrid::SetShowHint(bool show) {
    showHint_ = show;
    setToolTip(showHint_ ? hint_ : QString());
}

bool TDBGrid::DataSetActive() const {
    return DataSource() && DataSource()->State() != TDataSetState::dsInactive;
}

bool TDBGrid::CanModifyDataSet() const {
    return DataSetActive() && !readOnly_ && DataSet()->CanModify();
}

bool TDBGrid::HasFocusWithin() const {
    return hasFocus() || editor_->hasFocus();
}

// ---- Record set notifications ----

void TDBGrid::DataEvent(TDataEvent event, TField* field) {
    switch (event) {
        case TDataEvent::deFieldChange:
            // A rule assigned the field being edited.
            if (field == SelectedField()) ReloadEditor();
            break;
        case TDataEvent::deRecordChange:
            ReloadEditor();  // edit began and read the record anew
            break;
        case TDataEvent::deDataSetChange:
        case TDataEvent::deDataSetScroll:
            RecordsChanged();
            break;
        case TDataEvent::deLayoutChange:
            LayoutChanged();
            break;
        case TDataEvent::deUpdateRecord:
            WritePendingText();
            break;
        case TDataEvent::deUpdateState:
            StateChanged();
            break;
        case TDataEvent::deCheckBrowseMode:
            break;
    }
    viewport()->update();
}

// A move, post, cancel or refresh: the cell shows its field again, whoever caused it.
void TDBGrid::RecordsChanged() {
    cellModified_ = false;
    ReloadEditor();
    PlaceEditor();
    UpdateVerticalPosition();
}

void TDBGrid::StateChanged() {
    if (!DataSetActive()) {
        HideEditor();
        cellModified_ = false;
    }
    // Opening binds the fields, which gives columns their defaults.
    LayoutChanged();
}

QString TDBGrid::FieldText() const {
    const TField* field = SelectedField();
    return field ? QString::fromStdString(field->AsString()) : QString();
}

// ---- The current cell ----

TColumn* TDBGrid::SelectedColumn() const {
    return selected_ >= 0 ? columns_.Items(selected_) : nullptr;
}

TField* TDBGrid::SelectedField() const {
    const TColumn* column = SelectedColumn();
    return column ? column->Field() : nullptr;
}

void TDBGrid::SetSelectedIndex(int index) {
    if (index >= 0 && index < columns_.Count() && columns_[index]->Visible()) ChangeColumn(index);
}

// The pending text is written first; if that fails, the column stays.
void TDBGrid::ChangeColumn(int index) {
    if (index == selected_) return;
    WritePendingText();
    HideEditor();
    selected_ = index;
    ColumnEntered();
}

void TDBGrid::ColumnEntered() {
    MakeSelectedVisible();
    if (HasFocusWithin()) ImeApplyNow(this, ColumnImeMode(), ColumnImeName());
    ShowEditorIfAlways();
    viewport()->update();
}

void TDBGrid::ColumnMoved(int from, int to) {
    if (selected_ == from) {
        selected_ = to;
    } else if (from < selected_ && to >= selected_) {
        --selected_;
    } else if (from > selected_ && to <= selected_) {
        ++selected_;
    }
    LayoutChanged();
}

// Keeps a visible current column: the first visible one when the current one went.
void TDBGrid::ValidateSelected() {
    if (selected_ >= 0 && selected_ < columns_.Count() && columns_[selected_]->Visible()) return;
    const std::vector<int> visible = VisibleColumns();
    selected_ = visible.empty() ? -1 : visible.front();
    HideEditor();
}

TImeMode TDBGrid::ColumnImeMode() const {
    const TColumn* column = SelectedColumn();
    return column ? column->ImeMode() : ImeMode();
}

std::string TDBGrid::ColumnImeName() const {
    const TColumn* column = SelectedColumn();
    return column ? column->ImeName() : ImeName();
}

// ---- The pending cell text ----

void TDBGrid::WritePendingText() {
    if (!cellModified_) return;
    if (TField* field = SelectedField()) field->SetAsString(editor_->text().toStdString());
    cellModified_ = false;
}

void TDBGrid::DiscardPendingText() {
    cellModified_ = false;
    ReloadEditor();
}

bool TDBGrid::AllowCellChange() {
    if (readOnly_ || !DataSetActive()) return false;
    const TColumn* column = SelectedColumn();
    const TField* field = SelectedField();
    if (!column || column->ReadOnly() || !field || field->ReadOnly() || !DataSet()->CanModify() ||
        !TakesText(field->DataType())) {
        return false;
    }
    DataSource()->Edit();
    if (!Editing(DataSet()->State())) return false;
    cellModified_ = true;
    return true;
}

bool TDBGrid::AcceptsCharacter(QChar character) const {
    const TField* field = SelectedField();
    if (!field || !IsIntegerKind(field->DataType())) return true;
    const char16_t c = character.unicode();
    if ((c >= u'0' && c <= u'9') || c == u'+' || c == u'-') return true;
    gridenv::Beep();
    return false;
}

bool TDBGrid::UntouchedInsert() const {
    return DataSetActive() && DataSet()->State() == TDataSetState::dsInsert &&
           !DataSet()->Modified() && !cellModified_;
}

// ---- The focus ----

void TDBGrid::focusInEvent(QFocusEvent* event) {
    QAbstractScrollArea::focusInEvent(event);
    if (event->reason() != Qt::PopupFocusReason && !focusWithin_) EnterFromOutside();
    viewport()->update();
}

void TDBGrid::focusOutEvent(QFocusEvent* event) {
    QAbstractScrollArea::focusOutEvent(event);
    if (event->reason() != Qt::PopupFocusReason) FocusLeft(event, this);
}

bool TDBGrid::focusNextPrevChild(bool next) {
    // Tab belongs to the grid (keyPressEvent) while dgTabs is on.
    return !Option(TDBGridOption::dgTabs) && QAbstractScrollArea::focusNextPrevChild(next);
}

void TDBGrid::EnterFromOutside() {
    focusWithin_ = true;
    ImeFocusIn(this, ColumnImeMode(), ColumnImeName());
    if (!editorMode_) return ShowEditorIfAlways();
    // The editor stayed open while the focus was away; it comes back where it was.
    if (!cellModified_) LoadEditor(true);
    PlaceEditor();
    editor_->show();
    editor_->setFocus(Qt::OtherFocusReason);
}

// The grid or its editor (`from`) lost the focus. Moving between the two is no loss; another
// window taking the focus leaves the grid as it is, and so does a focus that only passed through
// on its way back to a grid that refused to let it go (it never came in here).
void TDBGrid::FocusLeft(QFocusEvent* event, QWidget* from) {
    QWidget* now = QApplication::focusWidget();
    if (!focusWithin_ || now == this || now == editor_) return;
    focusWithin_ = false;
    ++focusLosses_;
    clickPending_ = false;
    viewport()->update();
    if (event->reason() != Qt::ActiveWindowFocusReason) LeaveGrid(from);
}

void TDBGrid::LeaveGrid(QWidget* from) {
    ImeFocusOut(from, ColumnImeMode(), ColumnImeName());
    try {
        if (Option(TDBGridOption::dgCancelOnExit) && UntouchedInsert()) {
            DataSet()->Cancel();
        } else {
            WritePendingText();
        }
    } catch (...) {
        // The focus comes back before the failure is reported, so that the control it was
        // going to finds it refused and does nothing more (a press there neither moves nor
        // opens anything); the user corrects the text in the grid.
        setFocus(Qt::OtherFocusReason);
        throw;
    }
    editor_->hide();
}

void TDBGrid::ShowEditorIfAlways() {
    if (Option(TDBGridOption::dgAlwaysShowEditor) && HasFocusWithin() && !editorMode_) {
        ShowEditor(true);
    }
}
