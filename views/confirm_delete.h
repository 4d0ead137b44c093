// The delete confirmation of grids and navigators: a box titled "Confirm" asking "Delete
// record?" with OK (the default) and Cancel, in the program's language. Tests replace the
// question with an answer.
#pragma once

#include <QWidget>
#include <functional>

// True when the user chose OK; Cancel, Esc and closing the box answer false.
bool ConfirmDelete(QWidget* parent);

void SetDeleteConfirmation(std::function<bool(QWidget*)> answer);
