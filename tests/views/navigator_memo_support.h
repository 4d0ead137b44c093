// A window for the navigator and memo tests, over a fresh clinic database: the application's
// message box and the delete confirmation are captured, and the window is shown and active so
// that focus moves as it would for the user.
#pragma once

#include <QApplication>
#include <QLineEdit>
#include <QString>
#include <QWidget>
#include <memory>
#include <vector>

#include "clinic_fixture.h"

class ViewWindowTest : public ClinicFixture {
  protected:
    void SetUp() override;
    void TearDown() override;

    // Shows the window (after the test has placed its controls) and makes it the active one.
    void Activate(QWidget& window);
    // The texts of the message boxes shown so far; the record starts again empty.
    std::vector<QString> TakeMessages();
    // Adds the patients, posted, and goes back to the first.
    void AddPatients(const std::vector<std::string>& names);

    std::unique_ptr<QWidget> window_;
    QLineEdit* other_ = nullptr;  // another control of the window, to take the focus
    bool confirmAnswer_ = true;   // the answer to the delete confirmation
    int confirmations_ = 0;       // how often it was asked

  private:
    std::vector<QString> messages_;
};
