#pragma once

#include "UserDialogs.h"

#include <QString>

#include <exception>
#include <functional>
#include <optional>

// The e-mail address the error report asks users to send screenshots to.
inline constexpr const char* kSupportEmail = "support@quarnel.com";

// "in Hopbridge2017/04/05.<handler> ", the location literal of one handler,
// e.g. LocationLiteral("Form1.PushButton2_Click").
QString LocationLiteral(const QString& handler);

// The report text: description, CR LF, location, "at line ", step, CR CR, the
// e-mail request, and for transfers CR CR "sql: " and the statement.
QString ErrorReportText(const QString& location, int step, const QString& description,
                        const std::optional<QString>& sql = std::nullopt);

// Shows the report and returns when the user has dismissed it.
void ReportError(UserDialogs& dialogs, const QString& location, int step, const QString& description,
                 const std::optional<QString>& sql = std::nullopt);

// The failure text of an exception, as the report's description.
QString DescribeFailure(const std::exception_ptr& failure);

// The error trap of one run of an action handler. Each numbered step runs
// through it; a step that throws is reported with its number and the handler
// carries on with the next step. A failing test counts as passed.
class HandlerTrap {
public:
    HandlerTrap(UserDialogs& dialogs, const QString& handler);

    // Transfers show the statement they were working on after "sql: ".
    void showStatement(std::function<QString()> currentStatement) { statement_ = std::move(currentStatement); }

    // Runs one step; false when it failed (and was reported).
    bool step(int number, const std::function<void()>& body);
    // Runs a test; a failing test counts as passed.
    bool test(int number, const std::function<bool()>& condition);

    int reports() const { return reports_; }
    UserDialogs& dialogs() { return dialogs_; }

private:
    void report(int number, const std::exception_ptr& failure);

    UserDialogs& dialogs_;
    QString location_;
    std::function<QString()> statement_;
    int reports_ = 0;
};
