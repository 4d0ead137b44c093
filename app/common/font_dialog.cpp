#include "app/common/font_dialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFontDialog>
#include <QLabel>
#include <QLayout>
#include <QPixmap>

#include "app/common/window_style.h"

namespace {

TFontDialog::Choice& TestChoice() {
    static TFontDialog::Choice choice;
    return choice;
}

// The sixteen colours of the classic system palette, which the colour list offers.
struct NamedColor {
    const char* name;
    QRgb rgb;
};
constexpr NamedColor kColors[] = {
    {"Black", 0x000000},  {"Maroon", 0x800000},  {"Green", 0x008000}, {"Olive", 0x808000},
    {"Navy", 0x000080},   {"Purple", 0x800080},  {"Teal", 0x008080},  {"Gray", 0x808080},
    {"Silver", 0xC0C0C0}, {"Red", 0xFF0000},     {"Lime", 0x00FF00},  {"Yellow", 0xFFFF00},
    {"Blue", 0x0000FF},   {"Fuchsia", 0xFF00FF}, {"Aqua", 0x00FFFF},  {"White", 0xFFFFFF}};

QIcon Swatch(const QColor& color) {
    QPixmap swatch(16, 12);
    swatch.fill(color);
    return QIcon(swatch);
}

// Qt's font dialog offers no colour: a colour list joins its effects, below strike-out and
// underline (the check boxes' group). A colour outside the sixteen is listed after them.
QComboBox* AddColorList(QFontDialog& dialog, const QColor& current) {
    const auto* strikeOut = dialog.findChild<QCheckBox*>();
    QWidget* effects = strikeOut ? strikeOut->parentWidget() : nullptr;
    if (!effects || !effects->layout()) return nullptr;
    auto* colors = new QComboBox(effects);
    colors->setObjectName("Color");
    for (const NamedColor& named : kColors) {
        colors->addItem(Swatch(QColor(named.rgb)), named.name, QColor(named.rgb));
    }
    if (colors->findData(current) < 0) colors->addItem(Swatch(current), current.name(), current);
    colors->setCurrentIndex(colors->findData(current));
    auto* label = new QLabel(QStringLiteral("&Color:"), effects);
    label->setBuddy(colors);
    effects->layout()->addWidget(label);
    effects->layout()->addWidget(colors);
    return colors;
}

}  // namespace

TFontDialog::TFontDialog(QWidget* owner)
    : QObject(owner),
      owner_(owner),
      font_(ClinicFont(kWindowFontPixels)),
      color_(owner->palette().color(QPalette::WindowText)) {}

void TFontDialog::TakeFontOf(const QWidget* control) {
    font_ = control->font();
    color_ = control->palette().color(QPalette::Text);
}

void TFontDialog::GiveFontTo(QWidget* control) const {
    control->setFont(font_);
    QPalette palette = control->palette();
    palette.setColor(QPalette::Text, color_);
    control->setPalette(palette);
}

bool TFontDialog::Execute() {
    return TestChoice() ? TestChoice()(*this) : AskUser();
}

void TFontDialog::SetChoice(Choice choice) {
    TestChoice() = std::move(choice);
}

// Qt's own dialog rather than the platform's, so that the colour list can join it. It lists
// installed families only, so it opens on the family that the font resolves to.
bool TFontDialog::AskUser() {
    QFont shown = font_;
    shown.setFamily(QFontInfo(font_).family());
    QFontDialog dialog(shown, owner_);
    dialog.setOption(QFontDialog::DontUseNativeDialog);
    const QComboBox* colors = AddColorList(dialog, color_);
    if (dialog.exec() != QDialog::Accepted) return false;
    font_ = dialog.selectedFont();
    if (colors) color_ = colors->currentData().value<QColor>();
    return true;
}
