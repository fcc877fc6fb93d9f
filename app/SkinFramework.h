#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

class QWidget;

// The login form's skin component (SkinFramework1): a Qt style sheet read from
// a skin file and applied to one window.
class SkinFramework : public QObject {
    Q_OBJECT
public:
    // The component of a window, created on first use as its child.
    static SkinFramework* of(QWidget* window);

    void loadSkin(const QString& path, const QString& ini);  // throws std::runtime_error
    int options() const { return options_; }
    void setOptions(int flags);
    void setApplyFrames(bool on);
    void setApplyDialogs(bool on);
    void applyWindow(QWidget* window);

    // The operations in the order they ran, for checking the start-up sequence.
    const QStringList& calls() const { return calls_; }

private:
    explicit SkinFramework(QWidget* window);

    QString styleSheet_;
    int options_ = 0;
    bool applyFrames_ = false;
    bool applyDialogs_ = false;
    QStringList calls_;
};
