#include "views/db_memo.h"

#include <QScopedValueRollback>

#include "data/messages.h"

namespace {

// Every line break of a stored text as the memo holds it: one '\n'.
QString WithNewlines(const std::string& stored) {
    QString text = QString::fromStdString(stored);
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return text;
}

// The length of the text as written back, each break as CR LF.
qsizetype StoredLength(const QString& text) {
    return text.size() + text.count(QLatin1Char('\n'));
}

}  // namespace

QString TDBMemo::CapacityMessage() {
    return QStringLiteral("(%1)").arg(tr("Text exceeds memo capacity"));
}

TDBMemo::TDBMemo(QWidget* parent) : QPlainTextEdit(parent) {
    setTabChangesFocus(true);
    SetScrollBars(scrollBars_);
    connect(this, &QPlainTextEdit::textChanged, this, [this] {
        if (!reloading_) memoModified_ = true;
    });
}

void TDBMemo::Link::DataEvent(TDataEvent event, TField* field, int) {
    switch (event) {
        case TDataEvent::deUpdateState:
            return memo_.StateChanged();
        case TDataEvent::deDataSetChange:
        case TDataEvent::deDataSetScroll:
        case TDataEvent::deRecordChange:
            return memo_.Reload();
        case TDataEvent::deFieldChange:
            if (field == memo_.field_) memo_.Reload();
            return;
        case TDataEvent::deUpdateRecord:
            return memo_.WritePending();
        default:
            return;
    }
}

void TDBMemo::SetDataSource(TDataSource* source) {
    link_.SetDataSource(source);
    Rebind();
}

void TDBMemo::SetDataField(const std::string& name) {
    if (name == dataField_) return;
    TField* field = nullptr;
    if (Active() && !name.empty()) {
        field = link_.DataSet()->FindField(name);
        if (!field) {
            throw EDatabaseError(FormatMessage(
                "%s: %s", {objectName().toStdString(), FormatMessage(msg::FieldNotFound, {name})}));
        }
    }
    dataField_ = name;
    field_ = field;
    Reload();
}

bool TDBMemo::Active() const {
    return link_.DataSource() && link_.DataSource()->State() != TDataSetState::dsInactive;
}

bool TDBMemo::Editing() const {
    const TDataSetState state =
        link_.DataSource() ? link_.DataSource()->State() : TDataSetState::dsInactive;
    return state == TDataSetState::dsEdit || state == TDataSetState::dsInsert;
}

bool TDBMemo::CanModifyField() const {
    return field_ && !field_->ReadOnly() && field_->DataSet()->CanModify();
}

// Opening and closing bind the field anew; entering or leaving edit state drops the mark of
// unwritten changes, which the record set has gathered or discarded by then.
void TDBMemo::StateChanged() {
    if (Active() != active_) return Rebind();
    if (Editing() == editing_) return;
    editing_ = !editing_;
    memoModified_ = false;
}

void TDBMemo::Rebind() {
    active_ = Active();
    editing_ = Editing();
    field_ = active_ && !dataField_.empty() ? link_.DataSet()->FindField(dataField_) : nullptr;
    Reload();
}

void TDBMemo::Reload() {
    QScopedValueRollback guard(reloading_, true);
    QString text = field_ ? WithNewlines(field_->AsString()) : QString();
    loaded_ = field_ != nullptr;
    if (loaded_ && field_->DataType() == TFieldType::ftMemo && StoredLength(text) > kCapacity) {
        text = CapacityMessage();
        loaded_ = false;
    }
    // The same text stays as it is, with the caret where the user left it.
    if (text != ShownText()) setPlainText(text);
    memoModified_ = false;
}

QString TDBMemo::ShownText() const {
    QString text = document()->toRawText();
    text.replace(QChar::ParagraphSeparator, QLatin1Char('\n'));
    text.replace(QChar::LineSeparator, QLatin1Char('\n'));
    return text;
}

void TDBMemo::WritePending() {
    if (!memoModified_ || !field_) return;
    field_->SetAsString(
        ShownText().replace(QLatin1Char('\n'), QLatin1String("\r\n")).toStdString());
    memoModified_ = false;
}

void TDBMemo::SetScrollBars(TScrollStyle style) {
    scrollBars_ = style;
    const bool horizontal = style == TScrollStyle::ssHorizontal || style == TScrollStyle::ssBoth;
    const bool vertical = style == TScrollStyle::ssVertical || style == TScrollStyle::ssBoth;
    setHorizontalScrollBarPolicy(horizontal ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(vertical ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff);
}

void TDBMemo::SetHint(const QString& hint) {
    hint_ = hint;
    ApplyHint();
}

void TDBMemo::SetShowHint(bool show) {
    showHint_ = show;
    ApplyHint();
}

void TDBMemo::ApplyHint() {
    setToolTip(showHint_ ? hint_ : QString());
}
