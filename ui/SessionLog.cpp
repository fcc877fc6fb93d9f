#include "SessionLog.h"

#include "FormSupport.h"
#include "QtDialogs.h"

#include <QApplication>
#include <QClipboard>
#include <QDialogButtonBox>
#include <QFontDatabase>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTime>
#include <QVBoxLayout>

SessionLogWindow::SessionLogWindow(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("SessionLogWindow"));
    setWindowTitle(QStringLiteral("Log of this session"));
    view_ = new QPlainTextEdit(this);
    view_->setObjectName(QStringLiteral("SessionLogText"));
    view_->setReadOnly(true);
    view_->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    view_->setPlaceholderText(QStringLiteral("Nothing done yet in this session."));
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    QPushButton* copyAll = buttons->addButton(QStringLiteral("Copy &All"), QDialogButtonBox::ActionRole);
    connect(copyAll, &QPushButton::clicked, this, [this] { QApplication::clipboard()->setText(text()); });
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::hide);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(view_);
    layout->addWidget(buttons);
    resize(Twips(9000), Twips(4500));
}

void SessionLogWindow::add(const QString& message)
{
    view_->appendPlainText(QTime::currentTime().toString(QStringLiteral("HH:mm:ss ")) + DisplayLineBreaks(message));
}

QString SessionLogWindow::text() const { return view_->toPlainText(); }

void LoggingDialogs::errorReport(const QString& text)
{
    log_.add(text);
    inner_.errorReport(text);
}
