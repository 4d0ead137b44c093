#include "views/db_navigator.h"

#include <QEvent>
#include <QTextDocument>
#include <algorithm>

#include "views/confirm_delete.h"

namespace {

constexpr int kHintedButtonWidth = 24;  // a comfortable width for sizeHint
constexpr int kHintedHeight = 25;

TNavigateBtn NthButton(int index) {
    return static_cast<TNavigateBtn>(index);
}

int IndexOf(TNavigateBtn button) {
    return static_cast<int>(button);
}

bool Editing(TDataSetState state) {
    return state == TDataSetState::dsEdit || state == TDataSetState::dsInsert;
}

}  // namespace

TDBNavigator::TDBNavigator(QWidget* parent) : QWidget(parent) {
    setFocusPolicy(Qt::NoFocus);
    for (int i = 0; i < kNavigateBtnCount; ++i) {
        auto* button = new TNavButton(NthButton(i), this);
        button->OnClick = [this, i] { Click(NthButton(i)); };
        buttons_[static_cast<std::size_t>(i)] = button;
        visible_.insert(NthButton(i));
    }
    UpdateHints();
    UpdateButtons();
    LayOut();
}

void TDBNavigator::SetDataSource(TDataSource* source) {
    link_.SetDataSource(source);
    UpdateButtons();
}

void TDBNavigator::SetVisibleButtons(const TNavigateBtns& buttons) {
    visible_ = buttons;
    for (TNavButton* button : buttons_) button->setVisible(visible_.contains(button->Kind()));
    updateGeometry();
    LayOut();
}

const QStringList& TDBNavigator::DefaultHints() {
    static const QStringList hints{"First record",  "Prior record",  "Next record", "Last record",
                                   "Insert record", "Delete record", "Edit record", "Post edit",
                                   "Cancel edit",   "Refresh data"};
    return hints;
}

void TDBNavigator::SetHints(const QStringList& hints) {
    hints_ = hints == DefaultHints() ? QStringList{} : hints;
    UpdateHints();
}

void TDBNavigator::SetShowHint(bool show) {
    showHint_ = show;
    UpdateHints();
}

QString TDBNavigator::ButtonHint(TNavigateBtn button) const {
    const int i = IndexOf(button);
    return i < hints_.size() && !hints_[i].isEmpty() ? hints_[i] : DefaultHints()[i];
}

void TDBNavigator::UpdateHints() {
    for (TNavButton* button : buttons_) {
        const QString hint = ButtonHint(button->Kind());
        // A tool tip that looks like markup would be rendered; the hint is shown as written.
        const QString shown = Qt::mightBeRichText(hint) ? hint.toHtmlEscaped() : hint;
        button->setToolTip(showHint_ ? shown : QString());
    }
}

TNavButton* TDBNavigator::Button(TNavigateBtn button) const {
    return buttons_[static_cast<std::size_t>(IndexOf(button))];
}

TDataSet* TDBNavigator::OpenDataSet() const {
    TDataSource* source = link_.DataSource();
    return source && source->State() != TDataSetState::dsInactive ? source->DataSet() : nullptr;
}

void TDBNavigator::UpdateButtons() {
    TDataSet* set = isEnabled() ? OpenDataSet() : nullptr;
    const bool up = set && !set->Bof();
    const bool down = set && !set->Eof();
    const bool modify = set && set->CanModify();
    const bool editing = modify && Editing(set->State());
    const bool enabled[kNavigateBtnCount] = {up,
                                             up,
                                             down,
                                             down,
                                             modify,
                                             modify && !(set->Bof() && set->Eof()),
                                             modify && !editing,
                                             editing,
                                             editing,
                                             modify};
    for (int i = 0; i < kNavigateBtnCount; ++i) {
        buttons_[static_cast<std::size_t>(i)]->setEnabled(enabled[i]);
    }
}

void TDBNavigator::Click(TNavigateBtn button) {
    TDataSet* set = OpenDataSet();
    if (!set) return;
    switch (button) {
        case TNavigateBtn::nbFirst:
            return set->First();
        case TNavigateBtn::nbPrior:
            return set->Prior();
        case TNavigateBtn::nbNext:
            return set->Next();
        case TNavigateBtn::nbLast:
            return set->Last();
        case TNavigateBtn::nbInsert:
            return set->Insert();
        case TNavigateBtn::nbDelete:
            if (!confirmDelete_ || ::ConfirmDelete(this)) set->Delete();
            return;
        case TNavigateBtn::nbEdit:
            return set->Edit();
        case TNavigateBtn::nbPost:
            return set->Post();
        case TNavigateBtn::nbCancel:
            return set->Cancel();
        case TNavigateBtn::nbRefresh:
            return set->Refresh();
    }
}

QSize TDBNavigator::sizeHint() const {
    return {VisibleCount() * kHintedButtonWidth, kHintedHeight};
}

QSize TDBNavigator::minimumSizeHint() const {
    return {VisibleCount() * kMinButtonWidth, kMinButtonHeight};
}

void TDBNavigator::resizeEvent(QResizeEvent* event) {
    LayOut();
    QWidget::resizeEvent(event);
}

void TDBNavigator::changeEvent(QEvent* event) {
    if (event->type() == QEvent::EnabledChange) UpdateButtons();
    QWidget::changeEvent(event);
}

void TDBNavigator::LayOut() {
    const int count = VisibleCount();
    if (count == 0) return;
    const int width = std::max(this->width() / count, kMinButtonWidth);
    const int height = std::max(this->height(), kMinButtonHeight);
    int spare = std::max(this->width() - width * count, 0);
    int x = 0;
    for (TNavButton* button : buttons_) {
        if (!visible_.contains(button->Kind())) continue;
        const int extra = spare > 0 ? 1 : 0;
        spare -= extra;
        button->setGeometry(x, 0, width + extra, height);
        x += width + extra;
    }
}
