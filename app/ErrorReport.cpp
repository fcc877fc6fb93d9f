#include "ErrorReport.h"

#include "DbError.h"

QString LocationLiteral(const QString& handler)
{
    return QStringLiteral("in Hopbridge2017/04/05.") + handler + QLatin1Char(' ');
}

QString ErrorReportText(const QString& location, int step, const QString& description,
                        const std::optional<QString>& sql)
{
    QString text = description + QStringLiteral("\r\n") + location + QStringLiteral("at line ") + QString::number(step)
        + QStringLiteral("\r\r") + QStringLiteral("Please email screenshot of this message to ")
        + QLatin1String(kSupportEmail);
    if (sql)
        text += QStringLiteral("\r\rsql: ") + *sql;
    return text;
}

void ReportError(UserDialogs& dialogs, const QString& location, int step, const QString& description,
                 const std::optional<QString>& sql)
{
    dialogs.errorReport(ErrorReportText(location, step, description, sql));
}

QString DescribeFailure(const std::exception_ptr& failure)
{
    try {
        std::rethrow_exception(failure);
    } catch (const DbError& error) {
        return QString::fromStdString(error.description());
    } catch (const std::exception& error) {
        return QString::fromUtf8(error.what());
    } catch (...) {
        return QStringLiteral("Unknown error");
    }
}

HandlerTrap::HandlerTrap(UserDialogs& dialogs, const QString& handler)
        : dialogs_(dialogs), location_(LocationLiteral(handler))
{
}

bool HandlerTrap::step(int number, const std::function<void()>& body)
{
    try {
        body();
        return true;
    } catch (...) {
        report(number, std::current_exception());
        return false;
    }
}

bool HandlerTrap::test(int number, const std::function<bool()>& condition)
{
    try {
        return condition();
    } catch (...) {
        report(number, std::current_exception());
        return true;
    }
}

void HandlerTrap::report(int number, const std::exception_ptr& failure)
{
    ++reports_;
    std::optional<QString> sql;
    if (statement_)
        sql = statement_();
    ReportError(dialogs_, location_, number, DescribeFailure(failure), sql);
}
