#include "WindowSkin.h"

#include <QFile>
#include <QWidget>

#include <stdexcept>

WindowSkin::WindowSkin(QWidget* window) : QObject(window) { setObjectName(QStringLiteral("SkinFramework1")); }

WindowSkin* WindowSkin::of(QWidget* window)
{
    if (auto* existing = window->findChild<WindowSkin*>(QStringLiteral("SkinFramework1"), Qt::FindDirectChildrenOnly))
        return existing;
    return new WindowSkin(window);
}

void WindowSkin::loadSkin(const QString& path, const QString&)
{
    calls_ << QStringLiteral("loadSkin");
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        throw std::runtime_error("The skin file " + path.toStdString()
                                 + " cannot be read: " + file.errorString().toStdString());
    styleSheet_ = QString::fromUtf8(file.readAll());
}

void WindowSkin::setOptions(int flags)
{
    calls_ << QStringLiteral("options");
    options_ = flags;
}

void WindowSkin::setApplyFrames(bool on)
{
    calls_ << QStringLiteral("applyFrames");
    applyFrames_ = on;
}

void WindowSkin::setApplyDialogs(bool on)
{
    calls_ << QStringLiteral("applyDialogs");
    applyDialogs_ = on;
}

void WindowSkin::applyWindow(QWidget* window)
{
    calls_ << QStringLiteral("applyWindow");
    window->setStyleSheet(styleSheet_);
}
