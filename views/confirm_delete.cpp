#include "views/confirm_delete.h"

#include <QCoreApplication>
#include <QMessageBox>

namespace {

std::function<bool(QWidget*)>& Answer() {
    static std::function<bool(QWidget*)> answer;
    return answer;
}

}  // namespace

bool ConfirmDelete(QWidget* parent) {
    if (Answer()) return Answer()(parent);
    QMessageBox box(QMessageBox::Question, QCoreApplication::translate("ConfirmDelete", "Confirm"),
                    QCoreApplication::translate("ConfirmDelete", "Delete record?"),
                    QMessageBox::Ok | QMessageBox::Cancel, parent);
    box.setDefaultButton(QMessageBox::Ok);
    box.setEscapeButton(QMessageBox::Cancel);
    return box.exec() == QMessageBox::Ok;
}

void SetDeleteConfirmation(std::function<bool(QWidget*)> answer) {
    Answer() = std::move(answer);
}
