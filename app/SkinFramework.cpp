#include "SkinFramework.h"

#include <QFile>
#include <QWidget>

#include <stdexcept>

SkinFramework::SkinFramework(QWidget* window) : QObject(window)
{
    setObjectName(QStringLiteral("SkinFramework1"));
}

SkinFramework* SkinFramework::of(QWidget* window)
{
    if (auto* existing = window->findChild<SkinFramework*>(QStringLiteral("SkinFramework1"), Qt::FindDirectChildrenOnly))
        return existing;
    return new SkinFramework(window);
}

void SkinFramework::loadSkin(const QString& path, const QString&)
{
    calls_ << QStringLiteral("loadSkin");
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        throw std::runtime_error("The skin file " + path.toStdString() + " cannot be read: " + file.errorString().toStdString());
    styleSheet_ = QString::fromUtf8(file.readAll());
}

void SkinFramework::setOptions(int flags)
{
    calls_ << QStringLiteral("options");
    options_ = flags;
}

void SkinFramework::setApplyFrames(bool on)
{
    calls_ << QStringLiteral("applyFrames");
    applyFrames_ = on;
}

void SkinFramework::setApplyDialogs(bool on)
{
    calls_ << QStringLiteral("applyDialogs");
    applyDialogs_ = on;
}

void SkinFramework::applyWindow(QWidget* window)
{
    calls_ << QStringLiteral("applyWindow");
    window->setStyleSheet(styleSheet_);
}
