// A stand-in for the platform's input-method service: it claims a double-byte locale (or not),
// offers a configurable list of installed input methods and a default one, and records every
// action it is asked for, in order, as text: "Enable memo", "Close memo",
// "SetConversionMode memo native fullShape", "Activate <name>", "ActivateDefaultLayout"
// (controls by objectName). Queries are answered, not recorded. It is the service in use for
// as long as it lives.
#pragma once

#include <algorithm>
#include <string>
#include <vector>

#include "views/input_methods.h"

class RecordingInputMethods : public TInputMethodService {
  public:
    RecordingInputMethods() { SetInputMethods(this); }
    ~RecordingInputMethods() override { SetInputMethods(nullptr); }
    RecordingInputMethods(const RecordingInputMethods&) = delete;
    RecordingInputMethods& operator=(const RecordingInputMethods&) = delete;

    bool doubleByte = true;
    std::vector<std::string> installed;
    std::string defaultName;
    bool activates = true;  // what Activate answers for an installed name

    // The actions so far; the record starts again empty.
    std::vector<std::string> Take() { return std::exchange(calls_, {}); }

    bool DoubleByteLocale() const override { return doubleByte; }
    void Enable(QWidget* control) override { Record("Enable", control); }
    void Disable(QWidget* control) override { Record("Disable", control); }
    void Open(QWidget* control) override { Record("Open", control); }
    void Close(QWidget* control) override { Record("Close", control); }
    void SetConversionMode(QWidget* control, TImeMode mode) override {
        const TImeConversion bits = ConversionOf(mode);
        std::string text = "SetConversionMode " + Name(control);
        if (bits.native) text += " native";
        if (bits.katakana) text += " katakana";
        if (bits.fullShape) text += " fullShape";
        calls_.push_back(text);
    }
    std::vector<std::string> InstalledInputMethods() override { return installed; }
    std::string DefaultInputMethod() override { return defaultName; }
    bool Activate(const std::string& name) override {
        calls_.push_back("Activate " + name);
        return activates && std::find(installed.begin(), installed.end(), name) != installed.end();
    }
    void ActivateDefaultLayout() override { calls_.push_back("ActivateDefaultLayout"); }

  private:
    static std::string Name(QWidget* control) { return control->objectName().toStdString(); }
    void Record(const char* action, QWidget* control) {
        calls_.push_back(std::string(action) + " " + Name(control));
    }

    std::vector<std::string> calls_;
};
