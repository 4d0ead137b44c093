// Input methods: how the ImeMode and ImeName of search boxes, memos, grids and grid columns take
// effect. They act only on a double-byte (East Asian) locale; elsewhere they do nothing.
//
// The platform's input-method service sits behind TInputMethodService; the program uses one
// process-wide instance (the platform's), which tests replace with a recording double.
//
// The platform's service (Qt): a double-byte locale is a Chinese, Japanese or Korean system
// locale; Enable and Disable switch the control's Qt::WA_InputMethodEnabled; a closed input method
// is asked for plain Latin input through the control's input-method hints, an open one has those
// hints cleared. Qt offers no way to name, list or activate an input method, so there the
// installed list is empty, the default name is "", Activate answers false and
// ActivateDefaultLayout does nothing; with no input method installed, ImeName has no effect.
#pragma once

#include <QWidget>
#include <string>
#include <vector>

enum class TImeMode {
    imDisable,
    imClose,
    imOpen,
    imDontCare,
    imSAlpha,
    imAlpha,
    imHira,
    imSKata,
    imKata,
    imChinese,
    imSHanguel,
    imHanguel
};

class TInputMethodService {
  public:
    virtual ~TInputMethodService() = default;
    virtual bool DoubleByteLocale() const = 0;
    // Input for one control: enabled or disabled, open or closed, and its conversion mode.
    virtual void Enable(QWidget* control) = 0;
    virtual void Disable(QWidget* control) = 0;
    virtual void Open(QWidget* control) = 0;
    virtual void Close(QWidget* control) = 0;
    // Opens the input method and sets the conversion of a mode beyond open and close.
    virtual void SetConversionMode(QWidget* control, TImeMode mode) = 0;
    // The installed input methods by name, sorted, without duplicates; built once.
    virtual std::vector<std::string> InstalledInputMethods() = 0;
    // The name of the input method of the default keyboard layout ("" when there is none).
    virtual std::string DefaultInputMethod() = 0;
    // Activates the named input method; false where it is not installed or not available.
    virtual bool Activate(const std::string& name) = 0;
    virtual void ActivateDefaultLayout() = 0;
};

// The conversion that a mode beyond open and close asks for. Setting it clears the other bits.
struct TImeConversion {
    bool native = false;  // the script's own characters (Hanzi, kana, Hangul), not Latin ones
    bool katakana = false;
    bool fullShape = false;  // full-width forms
    bool operator==(const TImeConversion&) const = default;
};
// Requires: a mode other than imDisable, imClose, imOpen and imDontCare (they answer no bits).
TImeConversion ConversionOf(TImeMode mode);

// The service in use: the platform's, unless a test set another (nullptr restores it).
TInputMethodService& InputMethods();
void SetInputMethods(TInputMethodService* service);

// A control with these settings received the keyboard focus. Where its ImeName differs from the
// default input method's (ignoring case) and input methods are installed, the named one is
// activated, or the default layout when it is not installed, will not activate or the mode is
// imDisable; then the mode applies.
void ImeFocusIn(QWidget* control, TImeMode mode, const std::string& imeName);
// It lost the focus: the default layout comes back where a name applied, and a disabled input
// method is enabled again.
void ImeFocusOut(QWidget* control, TImeMode mode, const std::string& imeName);
// A grid's column became current: the named input method (if installed, else the default
// layout) and the mode take effect at once.
void ImeApplyNow(QWidget* control, TImeMode mode, const std::string& imeName);

// The ImeMode and ImeName of a control that applies them itself as it gains and loses the
// keyboard focus (memos and search boxes). Defaults: imDontCare and no name.
class TImeSettings {
  public:
    TImeMode ImeMode() const { return imeMode_; }
    void SetImeMode(TImeMode mode) { imeMode_ = mode; }
    const std::string& ImeName() const { return imeName_; }
    void SetImeName(const std::string& name) { imeName_ = name; }

  protected:
    void ImeEnter(QWidget* control) const { ImeFocusIn(control, imeMode_, imeName_); }
    void ImeLeave(QWidget* control) const { ImeFocusOut(control, imeMode_, imeName_); }

  private:
    TImeMode imeMode_ = TImeMode::imDontCare;
    std::string imeName_;
};
