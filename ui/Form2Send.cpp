// The two transfer buttons of the table manager.
#include "ErrorReport.h"
#include "Form1.h"
#include "Form2.h"
#include "TableList.h"
#include "Transfer.h"

#include <QCoreApplication>
#include <QProgressBar>
#include <QPushButton>

namespace {

// The window's side of a transfer: the target list, the progress bar, the
// dialogs and the Cancel button.
class WindowTransferObserver : public TransferObserver {
public:
    WindowTransferObserver(Form2& form, TableList& targetList, const QString& handler)
        : form_(form), targetList_(targetList), location_(LocationLiteral(handler))
    {
        connection_ = QObject::connect(&form, &Form2::cancelRequested, [this] { cancelled_ = true; });
    }
    ~WindowTransferObserver() override { QObject::disconnect(connection_); }

    bool targetListed(const std::string& table) override
    {
        return ListContainsText(targetList_, QString::fromStdString(table));
    }
    bool confirmOverwrite(const std::string& table) override
    {
        return form_.dialogs().question(QStringLiteral("Would you like to overwrite ") + QString::fromStdString(table)
                                            + QStringLiteral("?"),
                                        QStringLiteral("Overwrite?"))
            == Answer::Yes;
    }
    void targetDropped(const std::string& table) override { RemoveListItem(targetList_, QString::fromStdString(table)); }
    void tableArrived(const std::string& table) override { targetList_.add(QString::fromStdString(table)); }
    void progress(int percent) override { form_.ProgressBar1()->setValue(percent); }
    void report(int step, const std::string& description, const std::string& sql) override
    {
        ReportError(form_.dialogs(), location_, step, QString::fromStdString(description), QString::fromStdString(sql));
    }
    void rowsRefused(const std::string& table, long long furtherRefused) override
    {
        form_.dialogs().message(QStringLiteral("%1 further rows of %2 were refused by the server and not copied.")
                                    .arg(furtherRefused)
                                    .arg(QString::fromStdString(table)));
    }
    bool cancelRequested() override { return cancelled_; }
    void yield() override { QCoreApplication::processEvents(); }

private:
    Form2& form_;
    TableList& targetList_;
    QString location_;
    QMetaObject::Connection connection_;
    bool cancelled_ = false;
};

// The engine's summary, the same lines tablehop-cli prints, on one status line.
QString SummaryLine(const TransferSummary& summary, const QString& target)
{
    QStringList lines;
    for (const auto& line : TransferSummaryLines(summary, target.toStdString()))
        lines << QString::fromStdString(line);
    return lines.join(QStringLiteral(". "));
}

}  // namespace

// Both directions: the test for a current item, then the engine with the
// buttons disabled and Cancel shown, then one status line instead of silence.
void Form2::sendTables(bool toDB2)
{
    TableList& source = toDB2 ? *List1() : *List2();
    TableList& target = toDB2 ? *List2() : *List1();
    if (source.currentIndex() == -1) {
        dialogs().message(toDB2 ? QStringLiteral("Please select a table") : QStringLiteral("Please select a table to send."));
        return;
    }
    // The selected names, walked from the last item to the first.
    std::vector<std::string> tables;
    const QStringList selected = source.selectedTexts();
    for (auto it = selected.rbegin(); it != selected.rend(); ++it)
        tables.push_back(it->toStdString());
    setBusy(true);
    setStatusText(QString());
    cancelButton()->show();
    WindowTransferObserver observer(*this, target,
                                    toDB2 ? QStringLiteral("Form2.PushButton3_Click") : QStringLiteral("Form2.PushButton4_Click"));
    const TransferSummary summary =
        RunTransfer(toDB2 ? TransferDirection::MySQLToDB2 : TransferDirection::DB2ToMySQL,
                    login().CurrentMySQLProfile(), login().CurrentDB2Profile(), tables, observer, transferOptions());
    cancelButton()->hide();
    ProgressBar1()->setValue(0);
    setBusy(false);
    if (!tables.empty())
        setStatusText(SummaryLine(summary, toDB2 ? QStringLiteral("IBM DB2") : QStringLiteral("MySQL")));
}

// "Send Table/s To IBM DB2"
void Form2::PushButton3_Click()
{
    sendTables(true);
}

// "Send Table/s To MySQL"
void Form2::PushButton4_Click()
{
    sendTables(false);
}
