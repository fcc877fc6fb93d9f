#include "StatusLine.h"

#include <QResizeEvent>

StatusLine::StatusLine(QWidget* parent) : QLabel(parent)
{
    setTextFormat(Qt::PlainText);
    setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
}

void StatusLine::setFullText(const QString& text)
{
    fullText_ = text;
    setToolTip(text);
    elide();
}

QSize StatusLine::minimumSizeHint() const { return {0, QLabel::minimumSizeHint().height()}; }

void StatusLine::resizeEvent(QResizeEvent* event)
{
    QLabel::resizeEvent(event);
    elide();
}

void StatusLine::elide()
{
    QString shown = fullText_;
    shown.replace(QLatin1Char('\n'), QLatin1Char(' '));
    setText(fontMetrics().elidedText(shown, Qt::ElideRight, contentsRect().width()));
}
