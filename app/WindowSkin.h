#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

class QWidget;

// The skin of a window: a Qt style sheet read from a skin file and applied to
// the window. It keeps the object name "SkinFramework1" of the form's skin
// component, and records its steps so the start-up order can be checked.
class WindowSkin : public QObject {
    Q_OBJECT
public:
    // The skin of a window, created on first use as its child.
    static WindowSkin* of(QWidget* window);

    void loadSkin(const QString& path, const QString& ini);  // throws std::runtime_error
    int options() const { return options_; }
    void setOptions(int flags);
    void setApplyFrames(bool on);
    void setApplyDialogs(bool on);
    void applyWindow(QWidget* window);

    // The operations in the order they ran, for checking the start-up sequence.
    const QStringList& calls() const { return calls_; }

private:
    explicit WindowSkin(QWidget* window);

    QString styleSheet_;
    int options_ = 0;
    bool applyFrames_ = false;
    bool applyDialogs_ = false;
    QStringList calls_;
};
