#include "views/grid/grid_column.h"

#include <algorithm>

#include "data/dataset.h"
#include "views/grid/db_grid.h"
#include "views/grid/text_metrics.h"

namespace {

constexpr int kColumnWithoutFieldWidth = 64;
// Room beside the text of a cell or title.
constexpr int kTextRoom = 4;
// The display width, in characters, of the fields that are not text.
constexpr int kOtherDisplayWidth = 10;

bool IsNumeric(const TField& field) {
    switch (field.DataType()) {
        case TFieldType::ftSmallint:
        case TFieldType::ftInteger:
        case TFieldType::ftAutoInc:
        case TFieldType::ftWord:
        case TFieldType::ftFloat:
            return true;
        default:
            return false;
    }
}

int DisplayWidth(const TField& field) {
    return field.DataType() == TFieldType::ftString ? field.Size() : kOtherDisplayWidth;
}

}  // namespace

Qt::Alignment ToQtAlignment(TAlignment alignment) {
    switch (alignment) {
        case TAlignment::taRightJustify:
            return Qt::AlignRight;
        case TAlignment::taCenter:
            return Qt::AlignHCenter;
        case TAlignment::taLeftJustify:
            break;
    }
    return Qt::AlignLeft;
}

// ---- TColumnTitle ----

QString TColumnTitle::Caption() const {
    if (caption_) return *caption_;
    if (const TField* field = column_.Field()) return QString::fromStdString(field->DisplayName());
    return QString::fromStdString(column_.FieldName());
}

void TColumnTitle::SetCaption(const QString& caption) {
    caption_ = caption;
    column_.Changed();
}

void TColumnTitle::SetAlignment(TAlignment alignment) {
    alignment_ = alignment;
    column_.Changed();
}

QFont TColumnTitle::Font() const {
    return font_.value_or(column_.Grid().TitleFont());
}

void TColumnTitle::SetFont(const QFont& font) {
    font_ = font;
    column_.Changed();
}

// ---- TColumn ----

int TColumn::Index() const {
    return grid_.Columns().IndexOf(this);
}

void TColumn::Changed() const {
    grid_.LayoutChanged();
}

void TColumn::SetFieldName(const std::string& name) {
    fieldName_ = name;
    Changed();
}

TField* TColumn::Field() const {
    const TDataSet* dataSet = grid_.DataSet();
    if (!dataSet || !dataSet->Active() || fieldName_.empty()) return nullptr;
    return dataSet->FindField(fieldName_);
}

TAlignment TColumn::Alignment() const {
    if (alignment_) return *alignment_;
    const TField* field = Field();
    return field && IsNumeric(*field) ? TAlignment::taRightJustify : TAlignment::taLeftJustify;
}

void TColumn::SetAlignment(TAlignment alignment) {
    alignment_ = alignment;
    Changed();
}

QFont TColumn::Font() const {
    return font_.value_or(grid_.Font());
}

void TColumn::SetFont(const QFont& font) {
    font_ = font;
    Changed();
}

int TColumn::Width() const {
    return width_.value_or(DefaultWidth());
}

void TColumn::SetWidth(int width) {
    width_ = width;
    Changed();
}

// The field's display width in "0"s of the column's font, and room for the title caption. Qt's
// fonts have no overhang: a synthesised bold or italic is part of the advance already.
int TColumn::DefaultWidth() const {
    const TField* field = Field();
    if (!field) return kColumnWithoutFieldWidth;
    const int zero = TextWidth(Font(), QStringLiteral("0"));
    int width = DisplayWidth(*field) * zero + kTextRoom;
    if (grid_.Options().Contains(TDBGridOption::dgTitles)) {
        const int caption = TextWidth(title_.Font(), title_.Caption());
        width = std::max(width, caption + kTextRoom);
    }
    return width;
}

void TColumn::SetVisible(bool visible) {
    visible_ = visible;
    Changed();
}

bool TColumn::ReadOnly() const {
    if (readOnly_) return *readOnly_;
    const TField* field = Field();
    return grid_.ReadOnly() || (field && field->ReadOnly());
}

void TColumn::SetReadOnly(bool readOnly) {
    readOnly_ = readOnly;
    Changed();
}

void TColumn::SetPickList(const QStringList& entries) {
    pickList_ = entries;
    Changed();
}

void TColumn::SetDropDownRows(int rows) {
    dropDownRows_ = rows;
}

void TColumn::SetButtonStyle(TColumnButtonStyle style) {
    buttonStyle_ = style;
    Changed();
}

TImeMode TColumn::ImeMode() const {
    return imeMode_.value_or(grid_.ImeMode());
}

void TColumn::SetImeMode(TImeMode mode) {
    imeMode_ = mode;
}

const std::string& TColumn::ImeName() const {
    return imeName_ ? *imeName_ : grid_.ImeName();
}

void TColumn::SetImeName(const std::string& name) {
    imeName_ = name;
}

bool TColumn::OffersPickList() const {
    return buttonStyle_ == TColumnButtonStyle::cbsAuto && !pickList_.isEmpty() && !ReadOnly();
}

bool TColumn::IsTabStop() const {
    const TField* field = Field();
    return visible_ && !ReadOnly() && field && !field->ReadOnly();
}

// ---- TDBGridColumns ----

TColumn* TDBGridColumns::Add() {
    items_.push_back(std::make_unique<TColumn>(grid_));
    grid_.LayoutChanged();
    return items_.back().get();
}

int TDBGridColumns::IndexOf(const TColumn* column) const {
    const auto found = std::find_if(items_.begin(), items_.end(),
                                    [column](const auto& item) { return item.get() == column; });
    return found == items_.end() ? -1 : static_cast<int>(found - items_.begin());
}

void TDBGridColumns::Move(int from, int to) {
    if (from == to) return;
    auto moved = std::move(items_[static_cast<std::size_t>(from)]);
    items_.erase(items_.begin() + from);
    items_.insert(items_.begin() + to, std::move(moved));
    grid_.ColumnMoved(from, to);
}

void TDBGridColumns::Clear() {
    items_.clear();
    grid_.LayoutChanged();
}
