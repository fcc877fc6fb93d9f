#pragma once

#include "UserDialogs.h"

#include <QDialog>

class QPlainTextEdit;

// This session's messages behind the table manager's "Log" button: the
// summaries of sends, what deletes and renames did, and the error reports,
// each with its time, the newest last. Read-only; the text can be selected
// and copied.
class SessionLogWindow : public QDialog {
    Q_OBJECT
public:
    explicit SessionLogWindow(QWidget* parent = nullptr);

    void add(const QString& message);
    QString text() const;

private:
    QPlainTextEdit* view_;
};

// The window's boxes, every call passed on (a box with a default of its own
// too), each error report also kept in the session log.
class LoggingDialogs : public UserDialogs {
public:
    LoggingDialogs(UserDialogs& inner, SessionLogWindow& log) : inner_(inner), log_(log) { }

    void message(const QString& text, const QString& title = {}) override { inner_.message(text, title); }
    void messageWithDetail(const QString& text, const QString& detail) override
    {
        inner_.messageWithDetail(text, detail);
    }
    Answer question(const QString& text, const QString& title) override { return inner_.question(text, title); }
    Answer questionForMany(const QString& text, const QString& title) override
    {
        return inner_.questionForMany(text, title);
    }
    bool askAboutExistingTables(std::vector<ExistingTableRow>& rows) override
    {
        return inner_.askAboutExistingTables(rows);
    }
    std::optional<QString> inputBox(const QString& prompt, const QString& title, const QString& proposed) override
    {
        return inner_.inputBox(prompt, title, proposed);
    }
    void errorReport(const QString& text) override;
    void yield() override { inner_.yield(); }

private:
    UserDialogs& inner_;
    SessionLogWindow& log_;
};
