// The columns of a data-bound grid (TDBGrid): which field each shows, and how.
//
// Every property of a column and of its title follows a default until it is assigned; an
// assigned property keeps its own value whatever later happens to the defaults:
// - FieldName: empty; matched against the record set's field names without regard to case.
// - Alignment: right for numeric fields, left for text and date fields (and without a field).
// - Font: the grid's Font. Title.Font: the grid's TitleFont.
// - Width: the field's display width in the column's font (see DefaultWidth); 64 without field.
// - ReadOnly: true when the grid or the field is read-only.
// - ImeMode, ImeName: the grid's.
// - Title.Caption: the field's display name, else the FieldName. Title.Alignment: left.
// - Visible true, PickList empty, DropDownRows 7, ButtonStyle cbsAuto, Expanded true.
// Every change of a column lays its grid out again.
#pragma once

#include <QFont>
#include <QString>
#include <QStringList>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "views/input_methods.h"

class TDBGrid;
class TField;
class TColumn;

enum class TAlignment { taLeftJustify, taRightJustify, taCenter };
// The horizontal alignment that Qt paints for it.
Qt::Alignment ToQtAlignment(TAlignment alignment);

// cbsAuto: the cell editor has a drop-down button exactly when the column offers a pick list.
enum class TColumnButtonStyle { cbsAuto, cbsEllipsis, cbsNone };

class TColumnTitle {
  public:
    explicit TColumnTitle(TColumn& column) : column_(column) {}
    TColumnTitle(const TColumnTitle&) = delete;
    TColumnTitle& operator=(const TColumnTitle&) = delete;

    QString Caption() const;
    void SetCaption(const QString& caption);
    TAlignment Alignment() const { return alignment_.value_or(TAlignment::taLeftJustify); }
    void SetAlignment(TAlignment alignment);
    QFont Font() const;
    void SetFont(const QFont& font);

  private:
    TColumn& column_;
    std::optional<QString> caption_;
    std::optional<TAlignment> alignment_;
    std::optional<QFont> font_;
};

class TColumn {
  public:
    explicit TColumn(TDBGrid& grid) : grid_(grid) {}
    TColumn(const TColumn&) = delete;
    TColumn& operator=(const TColumn&) = delete;

    TDBGrid& Grid() const { return grid_; }
    // Position in the grid's Columns.
    int Index() const;

    const std::string& FieldName() const { return fieldName_; }
    void SetFieldName(const std::string& name);
    // The field shown: nullptr when the grid has no open record set or none has the name.
    TField* Field() const;

    TAlignment Alignment() const;
    void SetAlignment(TAlignment alignment);
    QFont Font() const;
    void SetFont(const QFont& font);
    TColumnTitle& Title() { return title_; }
    const TColumnTitle& Title() const { return title_; }
    int Width() const;
    void SetWidth(int width);
    // The width the column has while Width is not assigned.
    int DefaultWidth() const;
    bool Visible() const { return visible_; }
    void SetVisible(bool visible);
    bool ReadOnly() const;
    void SetReadOnly(bool readOnly);
    const QStringList& PickList() const { return pickList_; }
    void SetPickList(const QStringList& entries);
    int DropDownRows() const { return dropDownRows_; }
    void SetDropDownRows(int rows);
    TColumnButtonStyle ButtonStyle() const { return buttonStyle_; }
    void SetButtonStyle(TColumnButtonStyle style);
    TImeMode ImeMode() const;
    void SetImeMode(TImeMode mode);
    const std::string& ImeName() const;
    void SetImeName(const std::string& name);
    bool Expanded() const { return expanded_; }
    void SetExpanded(bool expanded) { expanded_ = expanded; }

    // Whether the cell editor in this column has a drop-down list.
    bool OffersPickList() const;
    // Whether Tab stops here: visible, not read-only, with a field that is not read-only.
    bool IsTabStop() const;

    // Tells the grid that something it shows changed.
    void Changed() const;

  private:
    TDBGrid& grid_;
    TColumnTitle title_{*this};
    std::string fieldName_;
    std::optional<TAlignment> alignment_;
    std::optional<QFont> font_;
    std::optional<int> width_;
    std::optional<bool> readOnly_;
    std::optional<TImeMode> imeMode_;
    std::optional<std::string> imeName_;
    bool visible_ = true;
    QStringList pickList_;
    int dropDownRows_ = 7;
    TColumnButtonStyle buttonStyle_ = TColumnButtonStyle::cbsAuto;
    bool expanded_ = true;
};

// The grid's columns, in the order shown; the grid owns them.
class TDBGridColumns {
  public:
    explicit TDBGridColumns(TDBGrid& grid) : grid_(grid) {}
    TDBGridColumns(const TDBGridColumns&) = delete;
    TDBGridColumns& operator=(const TDBGridColumns&) = delete;

    TColumn* Add();
    int Count() const { return static_cast<int>(items_.size()); }
    // Requires: 0 <= index < Count().
    TColumn* Items(int index) const { return items_[static_cast<std::size_t>(index)].get(); }
    TColumn* operator[](int index) const { return Items(index); }
    int IndexOf(const TColumn* column) const;
    // Moves the column at `from` to position `to`; the others keep their order.
    void Move(int from, int to);
    void Clear();

  private:
    TDBGrid& grid_;
    std::vector<std::unique_ptr<TColumn>> items_;
};
