// TDBGrid: the data-bound grid. It shows the records of one record set (through a data source)
// as rows, one column per visible entry of Columns, with a title row above and an indicator
// column at the left, and edits the current cell in one cell editor laid over it.
//
// Contracts:
// - The grid asks its record set to keep exactly as many records at hand as it shows rows
//   (VisibleRowCount) and paints them from the record set's window; it never counts or reads
//   the table, so paging through a million records costs what paging through a hundred does.
// - The pending cell text (the editor's text) reaches the field only when the grid writes it:
//   on Enter, a change of column, any press in the grid, the focus leaving the grid, and
//   whenever the record set gathers pending edits. A text the field cannot take throws out of
//   the action that wrote it; that action goes no further and the text stays pending.
// - The grid posts nothing itself. It cancels on Esc without pending text, and cancels a new
//   record that nothing has modified on Up, on Down and when the focus leaves the grid.
// - Failures are thrown out of the event handlers (TApplication reports them).
// - When the focus leaves while the pending text cannot be written, it comes back at once, before
//   the failure is reported; a press on another grid that took it away does nothing there.
// - OnCellClick fires on the release of a left click on a data cell that did not open the
//   editor; OnDblClick on the second press of a left double-click anywhere in the grid or on
//   its editor; OnTitleClick on the release of a left click in the title row.
// - The mouse wheel moves the current record by one per notch.
#pragma once

#include <QAbstractScrollArea>
#include <QFont>
#include <QString>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <memory>
#include <string>

#include "data/data_source.h"
#include "views/grid/grid_column.h"
#include "views/input_methods.h"

class TGridCellEditor;
class TGridPickList;
class TGridDataLink;

enum class TDBGridOption {
    dgEditing,
    dgAlwaysShowEditor,
    dgTitles,
    dgIndicator,
    dgColumnResize,
    dgColLines,
    dgRowLines,
    dgTabs,
    dgRowSelect,
    dgAlwaysShowSelection,
    dgConfirmDelete,
    dgCancelOnExit,
    dgMultiSelect
};

// What the indicator cell of a row shows: the current row's state, blank elsewhere.
enum class TIndicatorMark { None, Arrow, IBeam, Asterisk };

// A set of grid options. dgMultiSelect is accepted but selects nothing: the grid offers no
// selection of several rows.
class TDBGridOptions {
  public:
    TDBGridOptions(std::initializer_list<TDBGridOption> options = {});
    bool Contains(TDBGridOption option) const { return bits_ & Bit(option); }
    TDBGridOptions With(TDBGridOption option) const;
    TDBGridOptions Without(TDBGridOption option) const;
    bool operator==(const TDBGridOptions&) const = default;

  private:
    static unsigned Bit(TDBGridOption option) { return 1u << static_cast<unsigned>(option); }
    unsigned bits_ = 0;
};

// Every option but dgAlwaysShowEditor, dgRowSelect, dgAlwaysShowSelection and dgMultiSelect.
TDBGridOptions DefaultGridOptions();

// ImeMode and ImeName (TImeSettings) are the defaults of the columns' own.
class TDBGrid : public QAbstractScrollArea, public TImeSettings {
  public:
    explicit TDBGrid(QWidget* parent = nullptr);
    ~TDBGrid() override;

    // ---- Properties ----
    TDataSource* DataSource() const;
    void SetDataSource(TDataSource* source);
    // The open or closed record set of the data source; nullptr without one.
    TDataSet* DataSet() const;
    TDBGridColumns& Columns() { return columns_; }
    const TDBGridColumns& Columns() const { return columns_; }
    // The font of the cells and the data rows' height; columns without a font follow it.
    const QFont& Font() const { return font(); }
    void SetFont(const QFont& font) { setFont(font); }
    // The title row's font, kept when Font changes.
    const QFont& TitleFont() const { return titleFont_; }
    void SetTitleFont(const QFont& font);
    TDBGridOptions Options() const { return options_; }
    void SetOptions(TDBGridOptions options);
    bool ReadOnly() const { return readOnly_; }
    void SetReadOnly(bool readOnly);
    const QString& Hint() const { return hint_; }
    void SetHint(const QString& hint);
    bool ShowHint() const { return showHint_; }
    void SetShowHint(bool show);

    // ---- Events ----
    std::function<void(TColumn*)> OnCellClick;
    std::function<void(TDBGrid*)> OnDblClick;
    std::function<void(TColumn*)> OnTitleClick;

    // ---- The current cell and the editor ----
    // The current column's position in Columns; -1 when no column is visible.
    int SelectedIndex() const { return selected_; }
    // Makes a visible column current as a change of column does (the pending text is written
    // first; if that fails, nothing changes).
    void SetSelectedIndex(int index);
    TColumn* SelectedColumn() const;
    TField* SelectedField() const;
    // Whether the cell editor is open (it is hidden, still open, while the focus is elsewhere).
    bool EditorMode() const { return editorMode_; }
    // Whether the pending cell text has been changed and not yet written or discarded.
    bool CellModified() const { return cellModified_; }
    TGridCellEditor* InplaceEditor() const { return editor_; }
    TGridPickList* DropDownList() const { return pickList_; }

    // ---- Layout, in viewport pixels ----
    // How many data rows fit, at least one: the records the record set keeps at hand.
    int VisibleRowCount() const { return rowCount_; }
    // A data row's height including its line; the title row's height.
    int RowHeight() const;
    int TitleRowHeight() const;
    // A column's cell in data row `row` (0 is the top row shown); row -1 is the title row.
    QRect CellRect(int columnIndex, int row) const;
    QRect IndicatorRect(int row) const;
    TIndicatorMark IndicatorMark(int row) const;
    // What a data cell shows: its field's display text, whole where it fits between the cell's
    // margins or is at most a tenth too wide (it is drawn narrowed), else ended with an
    // ellipsis; empty without a field or a record.
    QString CellText(int columnIndex, int row) const;

    // Lays the grid out again after a change of fonts, columns or options.
    void LayoutChanged();

  protected:
    void changeEvent(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void inputMethodEvent(QInputMethodEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    bool focusNextPrevChild(bool next) override;

  private:
    friend class TGridDataLink;
    friend class TGridCellEditor;
    friend class TGridPickList;
    friend class TDBGridColumns;

    // What lies under a point of the viewport.
    enum class TGridArea { gaNone, gaCorner, gaTitle, gaIndicator, gaCell, gaBelow };
    struct THit {
        TGridArea area = TGridArea::gaNone;
        int column = -1;  // position in Columns
        int row = -1;     // data row
    };
    // A press in the title row being followed: resizing a column or dragging a title.
    struct TTitleTrack {
        enum class TKind { tkNone, tkResize, tkMove } kind = TKind::tkNone;
        int column = -1;
        int pressX = 0;
        int x = 0;
        bool dragged = false;
    };

    bool Option(TDBGridOption option) const { return options_.Contains(option); }
    bool DataSetActive() const;
    bool CanModifyDataSet() const;
    bool HasFocusWithin() const;

    // ---- Record set notifications (db_grid.cpp) ----
    void DataEvent(TDataEvent event, TField* field);
    void RecordsChanged();
    void StateChanged();
    QString FieldText() const;

    // ---- Cells and edits (db_grid.cpp) ----
    void ColumnMoved(int from, int to);
    void ChangeColumn(int index);
    void ColumnEntered();
    void ValidateSelected();
    void WritePendingText();
    void DiscardPendingText();
    bool AllowCellChange();
    bool AcceptsCharacter(QChar character) const;
    TImeMode ColumnImeMode() const;
    std::string ColumnImeName() const;
    void EnterFromOutside();
    void FocusLeft(QFocusEvent* event, QWidget* from);
    void LeaveGrid(QWidget* from);
    void ShowEditorIfAlways();

    // ---- The cell editor (grid_editing.cpp) ----
    bool CanShowEditor() const;
    void ShowEditor(bool selectAll);
    void HideEditor();
    void ConfigureEditor();
    void LoadEditor(bool selectAll);
    void ReloadEditor();
    void PlaceEditor();
    void EditorDoubleClick();
    void DropDown(bool byPress = false);
    void CloseUp(bool choose);
    bool PickListKey(QKeyEvent* event);
    void Choose(int row);

    // ---- Layout (grid_layout.cpp) ----
    int LineWidth(TDBGridOption lines) const;
    int IndicatorPitch() const;
    std::vector<int> VisibleColumns() const;
    int ColumnAt(int x) const;
    int ColumnLeft(int columnIndex) const;
    int RowsShown() const;
    int CurrentRow() const;
    THit HitTest(QPoint point) const;
    int BoundaryAt(QPoint point) const;
    void UpdateRowCount();
    void UpdateScrollBars();
    void UpdateVerticalPosition();
    QString FieldText(int columnIndex, int row) const;
    int VerticalPosition() const;
    void MakeSelectedVisible();
    void ConnectScrollBars();
    void ScrollAction(int action);
    void MoveToThumb(int position);
    void HorizontalScrolled(int value);

    // ---- Painting (grid_paint.cpp) ----
    void PaintTitleRow(QPainter& painter) const;
    void PaintDataRows(QPainter& painter) const;
    void PaintCell(QPainter& painter, int columnIndex, int row) const;
    void PaintIndicator(QPainter& painter, int row) const;
    void PaintLines(QPainter& painter) const;
    void PaintTrackLine(QPainter& painter) const;

    // ---- Mouse (grid_mouse.cpp) ----
    bool TakeFocusForPress(const QMouseEvent& event);
    void PressTitle(QPoint point, const THit& hit, Qt::MouseButton button);
    void PressDataRow(const THit& hit, Qt::MouseButton button);
    void ReleaseClick(QPoint point);
    void RaiseDblClick();

    // ---- Keyboard (grid_keyboard.cpp) ----
    bool HandleKey(QKeyEvent* event);
    bool HandleControlKey(QKeyEvent* event);
    bool HandleMoveKey(QKeyEvent* event);
    void TypeIntoEditor(QKeyEvent* event);
    void KeyUp();
    void KeyDown();
    void KeyTab(bool forward);
    void KeyEnter();
    void KeyF2();
    void KeyEscape();
    void KeyInsert();
    void KeyDelete();
    void MoveToShownRow(bool bottom);
    void StepColumn(int step);
    void SelectEndColumn(bool last);
    bool UntouchedInsert() const;

    std::unique_ptr<TGridDataLink> dataLink_;
    TDBGridColumns columns_{*this};
    QFont titleFont_;
    TDBGridOptions options_ = DefaultGridOptions();
    bool readOnly_ = false;
    QString hint_;
    bool showHint_ = false;

    TGridCellEditor* editor_;
    TGridPickList* pickList_;
    int selected_ = -1;
    int leftShown_ = 0;  // the first shown column, as a position among the visible ones
    int rowCount_ = 1;
    bool editorMode_ = false;
    bool cellModified_ = false;
    bool focusWithin_ = false;

    // The mouse.
    bool clickPending_ = false;  // a left press whose release may raise OnCellClick
    int focusLosses_ = 0;        // counts losses of the focus, to notice a modal window
    std::uint64_t lastLeftPress_ = 0;
    bool leftPressSeen_ = false;
    TTitleTrack track_;
    int wheelRemainder_ = 0;

    // The sizes measured once for one paint, which asks for them for every cell; nothing
    // changes them while it paints.
    struct TPaintSizes {
        int rowHeight, titleRowHeight;
        std::vector<int> left, width;  // by column index; left -1 where not shown
    };
    std::optional<TPaintSizes> paintSizes_;
    TPaintSizes MeasureSizes() const;
    const TPaintSizes* PaintSizesFor(int columnIndex) const;
};
