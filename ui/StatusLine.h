#pragma once

#include <QLabel>

// One line of text that never widens its window: a text longer than the
// line is cut with "..." at the width there is, and the whole text is the
// tooltip.
class StatusLine : public QLabel {
    Q_OBJECT
public:
    explicit StatusLine(QWidget* parent = nullptr);

    void setFullText(const QString& text);
    const QString& fullText() const { return fullText_; }
    QSize minimumSizeHint() const override;

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void elide();

    QString fullText_;
};
