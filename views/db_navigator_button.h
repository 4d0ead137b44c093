// One button of a TDBNavigator: a glyph on a push-button face, worked with the mouse only.
//
// A click is the release of the left button over the button that was pressed; it calls OnClick
// from the event queue, right after the release.
// A repeating button (Prior and Next) also calls OnClick while it is held: first
// kFirstRepeatMs after the press, then every kRepeatMs while the pointer stays over it. Its
// repeat timer is the child QTimer; it runs only while the button is held. An OnClick that fails
// abandons the press: no repeat and no click on release follow. A disabled button gets no mouse
// events and so ignores clicks.
#pragma once

#include <QImage>
#include <QTimer>
#include <QWidget>
#include <functional>

enum class TNavigateBtn {
    nbFirst,
    nbPrior,
    nbNext,
    nbLast,
    nbInsert,
    nbDelete,
    nbEdit,
    nbPost,
    nbCancel,
    nbRefresh
};
inline constexpr int kNavigateBtnCount = 10;

// The button's name in code ("nbFirst" ... "nbRefresh"), which is also its objectName.
const char* NavigateBtnName(TNavigateBtn button);

class TNavButton : public QWidget {
    Q_OBJECT

  public:
    static constexpr int kFirstRepeatMs = 400;
    static constexpr int kRepeatMs = 100;

    TNavButton(TNavigateBtn kind, QWidget* parent);

    TNavigateBtn Kind() const { return kind_; }
    bool Repeats() const { return repeatTimer_ != nullptr; }

    std::function<void()> OnClick;

  protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void changeEvent(QEvent* event) override;
    void hideEvent(QHideEvent* event) override;

  private:
    void Repeat();
    // Forgets the press: the button comes up and stops repeating.
    void Abandon();
    void Act();

    TNavigateBtn kind_;
    QImage glyphs_;                  // the enabled and the disabled look, side by side
    QTimer* repeatTimer_ = nullptr;  // only on repeating buttons
    bool pressed_ = false;           // the left button went down on this button and is held
    bool over_ = false;              // ... with the pointer over it
};
