// TFontDialog: the font dialog of the windows (their FontDialog1). A window copies a control's
// font and text colour in, runs the dialog and, when the user confirms it, gives the control the
// chosen font and colour; the dialog holds them in between.
//
// Contracts:
// - Execute() runs the dialog modally over its owner and answers true only for OK; Font() and
//   Color() are then the user's choice. A dialog that cannot be shown counts as cancelled.
//   Cancelling leaves Font() and Color() as they were.
// - The dialog offers the font's family, style and size, the effects strike-out and underline,
//   and the text colour.
// - Tests answer in place of the user through SetChoice.
#pragma once

#include <QColor>
#include <QFont>
#include <QObject>
#include <QWidget>
#include <functional>

class TFontDialog : public QObject {
  public:
    // Starts with the windows' own font in the window-text colour.
    explicit TFontDialog(QWidget* owner);

    const QFont& Font() const { return font_; }
    void SetFont(const QFont& font) { font_ = font; }
    const QColor& Color() const { return color_; }
    void SetColor(const QColor& color) { color_ = color; }

    // Copies the control's font and the colour of its text in.
    void TakeFontOf(const QWidget* control);
    // Gives the control the dialog's font and text colour.
    void GiveFontTo(QWidget* control) const;

    bool Execute();

    // The user, for tests: it sees the dialog with the font copied in, may choose another font
    // and colour with SetFont and SetColor, and answers true for OK. nullptr restores the user.
    using Choice = std::function<bool(TFontDialog& dialog)>;
    static void SetChoice(Choice choice);

  private:
    bool AskUser();

    QWidget* owner_;
    QFont font_;
    QColor color_;
};
