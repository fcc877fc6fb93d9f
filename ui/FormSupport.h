#pragma once

#include "UserDialogs.h"

#include <QCursor>
#include <QObject>
#include <QRect>

#include <optional>

class QFont;
class QWidget;

// Layout: positions and sizes are designed in twips; 15 twips make a pixel.
inline constexpr int kTwipsPerPixel = 15;
constexpr int Twips(int twips) { return (twips + kTwipsPerPixel / 2) / kTwipsPerPixel; }
QRect TwipsRect(int left, int top, int width, int height);
void PlaceTwips(QWidget* widget, int left, int top, int width, int height);

// Fonts of the two windows: Arial 9 pt (regular and bold) and Arial 11.25 pt
// bold for the push buttons, at 96 dots per inch.
QFont FormFont(bool bold = false);
QFont ButtonFont();

// The hand cursor file beside the program, and its hot spot (the tip of the
// pointing finger of our own image).
inline constexpr const char* kHandCursorFile = "HAND-M.CUR";
QCursor LoadHandCursor(const QString& path);  // throws std::runtime_error when it is no picture

// The mouse pointer of one window. Mouse movement over a watched button asks
// for the hand, over a watched area for the arrow; neither replaces Busy.
class WindowPointer : public QObject {
    Q_OBJECT
public:
    explicit WindowPointer(QWidget* window);
    ~WindowPointer() override;

    Pointer pointer() const { return pointer_; }
    void set(Pointer pointer);

    void setCustomCursor(const QCursor& cursor);
    bool hasCustomCursor() const { return custom_.has_value(); }

    // Buttons: mouse movement sets the hand. Areas (the window, frames,
    // fields, lists): mouse movement sets the arrow.
    void watchButton(QWidget* button);
    void watchArea(QWidget* area);

    // The pointer movement rule itself: what a move over a button or an area does.
    void movedOverButton();
    void movedOverArea();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void apply();

    QWidget* window_;
    Pointer pointer_ = Pointer::Default;
    bool overriding_ = false;
    std::optional<QCursor> custom_;
};

// Moves a top-level window so that all of it lies on the available area of
// its screen (shrinking it first when it is resizable and too big).
void KeepOnScreen(QWidget* window);
// Shows window where replaced stands when replaced is on screen (else where
// the window is), kept whole on the screen: the window the user moves on to
// takes the place of the one it replaces.
void ShowInPlaceOf(QWidget* window, const QWidget* replaced);

// Makes the ui library's own pictures (the application icon) available.
void InitUiResources();
