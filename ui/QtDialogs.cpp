#include "QtDialogs.h"

#include "ExistingTablesDialog.h"
#include "WindowHelpers.h"

#include <QApplication>
#include <QCoreApplication>
#include <QCursor>
#include <QInputDialog>
#include <QMessageBox>

namespace {

QString titleOrApplicationTitle(const QString& title) { return title.isEmpty() ? ApplicationTitle() : title; }

// A box shows the ordinary arrow even while its window shows the hourglass.
class ArrowWhileShown {
public:
    ArrowWhileShown() { QApplication::setOverrideCursor(QCursor(Qt::ArrowCursor)); }
    ~ArrowWhileShown() { QApplication::restoreOverrideCursor(); }
};

int runBox(QMessageBox& box)
{
    ArrowWhileShown arrow;
    return box.exec();
}

}  // namespace

QWidget* QtDialogs::owner() const
{
    // The box belongs to the window the user is looking at.
    if (QWidget* active = QApplication::activeWindow())
        return active;
    return parent_;
}

QString DisplayLineBreaks(const QString& text)
{
    QString shown = text;
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    shown.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return shown;
}

void QtDialogs::message(const QString& text, const QString& title)
{
    QMessageBox box(QMessageBox::NoIcon, titleOrApplicationTitle(title), DisplayLineBreaks(text), QMessageBox::Ok,
                    owner());
    box.setTextFormat(Qt::PlainText);
    runBox(box);
}

void QtDialogs::messageWithDetail(const QString& text, const QString& detail)
{
    QMessageBox box(QMessageBox::NoIcon, ApplicationTitle(), DisplayLineBreaks(text), QMessageBox::Ok, owner());
    box.setTextFormat(Qt::PlainText);
    if (!detail.isEmpty())
        box.setDetailedText(DisplayLineBreaks(detail));
    runBox(box);
}

namespace {

Answer askYesNo(QWidget* owner, const QString& text, const QString& title, QMessageBox::StandardButtons buttons)
{
    QMessageBox box(QMessageBox::NoIcon, titleOrApplicationTitle(title), DisplayLineBreaks(text), buttons, owner);
    box.setTextFormat(Qt::PlainText);
    // Every question here is about dropping or overwriting something: Enter
    // and Escape must both keep things as they are.
    box.setDefaultButton(QMessageBox::No);
    box.setEscapeButton(QMessageBox::No);
    switch (runBox(box)) {
    case QMessageBox::Yes: return Answer::Yes;
    case QMessageBox::YesToAll: return Answer::YesToAll;
    case QMessageBox::NoToAll: return Answer::NoToAll;
    default: return Answer::No;
    }
}

}  // namespace

Answer QtDialogs::question(const QString& text, const QString& title)
{
    return askYesNo(owner(), text, title, QMessageBox::Yes | QMessageBox::No);
}

Answer QtDialogs::questionForMany(const QString& text, const QString& title)
{
    return askYesNo(owner(), text, title,
                    QMessageBox::Yes | QMessageBox::YesToAll | QMessageBox::No | QMessageBox::NoToAll);
}

bool QtDialogs::askAboutExistingTables(std::vector<ExistingTableRow>& rows)
{
    ExistingTablesDialog dialog(rows, owner());
    ArrowWhileShown arrow;
    if (dialog.exec() != QDialog::Accepted)
        return false;
    const std::vector<ExistingTableAnswer> given = dialog.answers();
    for (size_t i = 0; i < rows.size(); ++i)
        rows[i].answer = given[i];
    return true;
}

std::optional<QString> QtDialogs::inputBox(const QString& prompt, const QString& title, const QString& proposed)
{
    QInputDialog dialog(owner());
    dialog.setWindowTitle(titleOrApplicationTitle(title));
    dialog.setLabelText(DisplayLineBreaks(prompt));
    dialog.setInputMode(QInputDialog::TextInput);
    dialog.setTextValue(proposed);
    dialog.setOkButtonText(QStringLiteral("OK"));
    dialog.setCancelButtonText(QStringLiteral("Cancel"));
    ArrowWhileShown arrow;
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return dialog.textValue();
}

void QtDialogs::errorReport(const QString& text)
{
    QMessageBox box(QMessageBox::Warning, QStringLiteral("Application Error"), DisplayLineBreaks(text), QMessageBox::Ok,
                    owner());
    box.setTextFormat(Qt::PlainText);
    runBox(box);
}

void QtDialogs::yield() { QCoreApplication::processEvents(); }
