#include "FormSupport.h"

#include "UserDialogs.h"

#include <QApplication>
#include <QEvent>
#include <QFont>
#include <QGuiApplication>
#include <QPixmap>
#include <QScreen>
#include <QWidget>

#include <algorithm>
#include <stdexcept>

QRect TwipsRect(int left, int top, int width, int height)
{
    return QRect(Twips(left), Twips(top), Twips(width), Twips(height));
}

void PlaceTwips(QWidget* widget, int left, int top, int width, int height)
{
    widget->setGeometry(TwipsRect(left, top, width, height));
}

QFont FormFont(bool bold)
{
    QFont font;
    // Arial, or a font of the same measures where Arial is not installed.
    font.setFamilies({QStringLiteral("Arial"), QStringLiteral("Liberation Sans"), QStringLiteral("Nimbus Sans"),
                      QStringLiteral("Helvetica"), QStringLiteral("Arimo")});
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(12);  // 9 pt at 96 dpi
    font.setBold(bold);
    return font;
}

QFont ButtonFont()
{
    QFont font = FormFont(true);
    font.setPixelSize(15);  // 11.25 pt at 96 dpi
    return font;
}

QCursor LoadHandCursor(const QString& path)
{
    QPixmap picture;
    if (!picture.load(path))
        throw std::runtime_error("Invalid picture: " + path.toStdString());
    // Our hand points up and to the left; its finger tip is the hot spot.
    return QCursor(picture, 6, 1);
}

WindowPointer::WindowPointer(QWidget* window) : QObject(window), window_(window) { watchArea(window); }

WindowPointer::~WindowPointer()
{
    if (overriding_)
        QApplication::restoreOverrideCursor();
}

void WindowPointer::set(Pointer pointer)
{
    pointer_ = pointer;
    apply();
}

void WindowPointer::setCustomCursor(const QCursor& cursor)
{
    custom_ = cursor;
    apply();
}

void WindowPointer::watchButton(QWidget* button)
{
    button->setMouseTracking(true);
    button->setAttribute(Qt::WA_NoMousePropagation);  // the frame behind it must not answer too
    button->setProperty("tablehopHandPointer", true);
    button->installEventFilter(this);
}

void WindowPointer::watchArea(QWidget* area)
{
    area->setMouseTracking(true);
    area->setAttribute(Qt::WA_NoMousePropagation);
    area->setProperty("tablehopHandPointer", false);
    area->installEventFilter(this);
}

void WindowPointer::movedOverButton()
{
    if (pointer_ != Pointer::Busy)
        set(Pointer::Hand);
}

void WindowPointer::movedOverArea()
{
    if (pointer_ != Pointer::Busy)
        set(Pointer::Default);
}

bool WindowPointer::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::MouseMove || event->type() == QEvent::Enter) {
        const QVariant hand = watched->property("tablehopHandPointer");
        if (hand.isValid()) {
            if (hand.toBool())
                movedOverButton();
            else
                movedOverArea();
        }
    }
    return QObject::eventFilter(watched, event);
}

void WindowPointer::apply()
{
    // Busy shows the hourglass over the whole window, fields and lists included.
    if (pointer_ == Pointer::Busy && !overriding_) {
        QApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
        overriding_ = true;
    } else if (pointer_ != Pointer::Busy && overriding_) {
        QApplication::restoreOverrideCursor();
        overriding_ = false;
    }
    if (pointer_ == Pointer::Busy)
        window_->setCursor(Qt::WaitCursor);
    else if (pointer_ == Pointer::Hand && custom_)
        window_->setCursor(*custom_);
    else
        window_->setCursor(Qt::ArrowCursor);
}

void KeepOnScreen(QWidget* window)
{
    QScreen* screen = QGuiApplication::screenAt(window->frameGeometry().center());
    if (!screen)
        screen = window->screen() ? window->screen() : QGuiApplication::primaryScreen();
    if (!screen)
        return;
    const QRect area = screen->availableGeometry();
    // The frame's extra (title bar, borders) is known only once the window was shown.
    const QSize extra = window->frameGeometry().size() - window->size();
    if (window->minimumSize() != window->maximumSize()) {
        const QSize fits = (area.size() - extra).boundedTo(window->size()).expandedTo(window->minimumSize());
        if (fits != window->size())
            window->resize(fits);
    }
    const QRect frame = window->frameGeometry();
    const int x = std::clamp(frame.left(), area.left(), std::max(area.left(), area.right() + 1 - frame.width()));
    const int y = std::clamp(frame.top(), area.top(), std::max(area.top(), area.bottom() + 1 - frame.height()));
    if (QPoint(x, y) != frame.topLeft())
        window->move(x, y);
}

void ShowInPlaceOf(QWidget* window, const QWidget* replaced)
{
    if (replaced && replaced->isVisible())
        window->move(replaced->pos());
    KeepOnScreen(window);
    window->show();
    window->raise();
    window->activateWindow();
}

void InitUiResources() { Q_INIT_RESOURCE(tablehop); }
