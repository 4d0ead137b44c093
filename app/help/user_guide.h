// The help window: the user's guide for the clinic's staff, as plain text to read beside the
// main window. Its text is the README's guide, built into the program.
#pragma once

#include <QTextBrowser>

class TUserGuide : public QTextBrowser {
  public:
    // A window of its own, hidden until shown; `owner` destroys it.
    explicit TUserGuide(QWidget* owner);

    // Shows the window where it was last, in front.
    void ShowGuide();
};
