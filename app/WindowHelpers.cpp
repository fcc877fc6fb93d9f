#include "WindowHelpers.h"

#include "WindowSkin.h"

#include <QApplication>
#include <QCheckBox>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QRadioButton>
#include <QWidget>

namespace {

QString g_applicationTitle;

// The system's button-face colour, whatever the widget's own palette says.
QColor buttonFace() { return QApplication::palette().color(QPalette::Active, QPalette::Button); }

void paintButtonFace(QWidget* widget)
{
    QPalette palette = widget->palette();
    palette.setColor(widget->backgroundRole(), buttonFace());
    palette.setColor(QPalette::Window, buttonFace());
    widget->setPalette(palette);
    widget->setAutoFillBackground(true);
}

bool isRecolouredKind(const QWidget* widget)
{
    return qobject_cast<const QGroupBox*>(widget) || qobject_cast<const QLabel*>(widget)
        || qobject_cast<const QRadioButton*>(widget) || qobject_cast<const QCheckBox*>(widget);
}

}  // namespace

bool FileExists(const QString& path)
{
    if (path.isEmpty())
        return false;
    const QFileInfo info(path);
    return info.exists() && info.lastModified().isValid();
}

QString ProgramFolder() { return QCoreApplication::applicationDirPath(); }

QString ProgramFile(const QString& relativeName)
{
    return QDir::toNativeSeparators(QDir(ProgramFolder()).filePath(relativeName));
}

QString CutTitle(const QString& name, int limit)
{
    QString title = name;
    do {
        const int space = title.lastIndexOf(QLatin1Char(' '));
        if (space < 0)
            break;  // nothing left to cut
        title.truncate(space);
    } while (title.size() > limit);
    return title;
}

void SetApplicationTitle() { g_applicationTitle = CutTitle(QString::fromLatin1(kProductName)); }

QString ApplicationTitle()
{
    return g_applicationTitle.isEmpty() ? CutTitle(QString::fromLatin1(kProductName)) : g_applicationTitle;
}

void ApplyFormColors(QWidget* form)
{
    paintButtonFace(form);
    for (QWidget* child : form->findChildren<QWidget*>())
        if (isRecolouredKind(child))
            paintButtonFace(child);
}

bool ApplySkin(QWidget* loginForm, const QString& programFolder)
{
    const QString skinPath = QDir::toNativeSeparators(QDir(programFolder).filePath(QStringLiteral("x/o.cjs")));
    const QFileInfo skinFile(skinPath);
    if (!skinFile.exists() || !skinFile.isFile() || skinFile.isHidden())
        return false;
    ApplyFormColors(loginForm);
    WindowSkin* skin = WindowSkin::of(loginForm);
    skin->loadSkin(skinPath, QString());
    skin->setOptions(skin->options() | 1);
    skin->setApplyFrames(true);
    skin->setApplyDialogs(true);
    skin->applyWindow(loginForm);
    return true;
}
