#include "navigator_memo_support.h"

#include <utility>

#include "views/confirm_delete.h"
#include "views/failure_reporting.h"

void ViewWindowTest::SetUp() {
    ClinicFixture::SetUp();
    TApplication::SetMessageBox(
        [this](const QString&, const QString& text) { messages_.push_back(text); });
    SetDeleteConfirmation([this](QWidget*) {
        ++confirmations_;
        return confirmAnswer_;
    });
    window_ = std::make_unique<QWidget>();
    window_->resize(400, 300);
    other_ = new QLineEdit(window_.get());
    other_->setObjectName("other");
    other_->setGeometry(0, 250, 100, 20);
}

void ViewWindowTest::TearDown() {
    window_.reset();  // the views leave their data sources before the record sets go
    SetDeleteConfirmation(nullptr);
    TApplication::SetMessageBox(nullptr);
    ClinicFixture::TearDown();
}

void ViewWindowTest::Activate(QWidget& window) {
    window.show();
    QApplication::setActiveWindow(&window);
    ASSERT_TRUE(window.isActiveWindow());
}

std::vector<QString> ViewWindowTest::TakeMessages() {
    return std::exchange(messages_, {});
}

void ViewWindowTest::AddPatients(const std::vector<std::string>& names) {
    for (const std::string& name : names) AddPatient(name);
    data_->Tablebingren.First();
}
