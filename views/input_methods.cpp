#include "views/input_methods.h"

#include <QLocale>
#include <QString>
#include <algorithm>

namespace {

// The service of Qt on this system; see the header for what it can and cannot do.
class TQtInputMethods : public TInputMethodService {
  public:
    bool DoubleByteLocale() const override {
        switch (QLocale::system().language()) {
            case QLocale::Chinese:
            case QLocale::Japanese:
            case QLocale::Korean:
                return true;
            default:
                return false;
        }
    }
    void Enable(QWidget* control) override { control->setAttribute(Qt::WA_InputMethodEnabled); }
    void Disable(QWidget* control) override {
        control->setAttribute(Qt::WA_InputMethodEnabled, false);
    }
    // setInputMethodHints tells the input method of the focused control itself.
    void Open(QWidget* control) override { SetLatinHints(control, {}); }
    void Close(QWidget* control) override {
        SetLatinHints(control, Qt::ImhLatinOnly | Qt::ImhPreferLatin);
    }
    // Qt has no conversion modes: a mode without native characters prefers Latin input.
    void SetConversionMode(QWidget* control, TImeMode mode) override {
        SetLatinHints(control,
                      ConversionOf(mode).native ? Qt::InputMethodHints{} : Qt::ImhPreferLatin);
    }
    std::vector<std::string> InstalledInputMethods() override { return {}; }
    std::string DefaultInputMethod() override { return {}; }
    bool Activate(const std::string&) override { return false; }
    void ActivateDefaultLayout() override {}

  private:
    static void SetLatinHints(QWidget* control, Qt::InputMethodHints latin) {
        const Qt::InputMethodHints others =
            control->inputMethodHints() & ~(Qt::ImhLatinOnly | Qt::ImhPreferLatin);
        control->setInputMethodHints(others | latin);
    }
};

TInputMethodService*& Replacement() {
    static TInputMethodService* service = nullptr;
    return service;
}

bool SameNameIgnoringCase(const std::string& a, const std::string& b) {
    return QString::fromStdString(a).compare(QString::fromStdString(b), Qt::CaseInsensitive) == 0;
}

bool Installed(TInputMethodService& service, const std::string& name) {
    const std::vector<std::string> installed = service.InstalledInputMethods();
    return std::any_of(installed.begin(), installed.end(),
                       [&](const std::string& each) { return SameNameIgnoringCase(each, name); });
}

// Whether a control's ImeName picks an input method on entering: a name other than the default
// input method's, while any input method is installed.
bool NameApplies(TInputMethodService& service, const std::string& imeName) {
    return !imeName.empty() && !SameNameIgnoringCase(imeName, service.DefaultInputMethod()) &&
           !service.InstalledInputMethods().empty();
}

void ActivateNamedOrDefault(TInputMethodService& service, const std::string& imeName) {
    if (!Installed(service, imeName) || !service.Activate(imeName)) {
        service.ActivateDefaultLayout();
    }
}

void ApplyMode(TInputMethodService& service, QWidget* control, TImeMode mode) {
    switch (mode) {
        case TImeMode::imDontCare:
            return;
        case TImeMode::imDisable:
            return service.Disable(control);
        default:
            break;
    }
    service.Enable(control);
    switch (mode) {
        case TImeMode::imClose:
            return service.Close(control);
        case TImeMode::imOpen:
            return service.Open(control);
        default:
            return service.SetConversionMode(control, mode);
    }
}

}  // namespace

TImeConversion ConversionOf(TImeMode mode) {
    switch (mode) {
        case TImeMode::imAlpha:
            return {.fullShape = true};
        case TImeMode::imHira:
            return {.native = true, .fullShape = true};
        case TImeMode::imSKata:
            return {.native = true, .katakana = true};
        case TImeMode::imKata:
            return {.native = true, .katakana = true, .fullShape = true};
        case TImeMode::imChinese:
            return {.native = true, .fullShape = true};
        case TImeMode::imSHanguel:
            return {.native = true};
        case TImeMode::imHanguel:
            return {.native = true, .fullShape = true};
        default:
            return {};  // imSAlpha: half-width letters and digits
    }
}

TInputMethodService& InputMethods() {
    static TQtInputMethods platform;
    return Replacement() ? *Replacement() : platform;
}

void SetInputMethods(TInputMethodService* service) {
    Replacement() = service;
}

void ImeFocusIn(QWidget* control, TImeMode mode, const std::string& imeName) {
    TInputMethodService& service = InputMethods();
    if (!service.DoubleByteLocale()) return;
    if (NameApplies(service, imeName)) {
        if (mode == TImeMode::imDisable) {
            service.ActivateDefaultLayout();
        } else {
            ActivateNamedOrDefault(service, imeName);
        }
    }
    ApplyMode(service, control, mode);
}

void ImeFocusOut(QWidget* control, TImeMode mode, const std::string& imeName) {
    TInputMethodService& service = InputMethods();
    if (!service.DoubleByteLocale()) return;
    if (NameApplies(service, imeName)) service.ActivateDefaultLayout();
    if (mode == TImeMode::imDisable) service.Enable(control);
}

void ImeApplyNow(QWidget* control, TImeMode mode, const std::string& imeName) {
    TInputMethodService& service = InputMethods();
    if (!service.DoubleByteLocale()) return;
    ActivateNamedOrDefault(service, imeName);
    ApplyMode(service, control, mode);
}
