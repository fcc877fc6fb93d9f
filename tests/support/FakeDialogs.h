#pragma once

#include "UserDialogs.h"

#include <QString>
#include <QStringList>

#include <deque>
#include <functional>
#include <optional>

// Answers the dialogs of an action from queues and records every box shown.
class FakeDialogs : public UserDialogs {
public:
    struct Shown {
        QString kind;  // "message", "detail", "question", "question for many", "existing tables", "input", "error"
        QString text;
        QString title;
        QString detail;
    };

    std::vector<Shown> shown;
    std::deque<Answer> answers;                 // for question()
    std::deque<std::optional<QString>> inputs;  // for inputBox(); nullopt = Cancel
    int yields = 0;
    // Run when a box is shown, and at every yield: a user acting meanwhile.
    std::function<void(const Shown&)> onShown;
    std::function<void()> onYield;

    void message(const QString& text, const QString& title) override { show({"message", text, title, {}}); }
    void messageWithDetail(const QString& text, const QString& detail) override { show({"detail", text, {}, detail}); }
    Answer question(const QString& text, const QString& title) override { return answer("question", text, title); }
    Answer questionForMany(const QString& text, const QString& title) override
    {
        return answer("question for many", text, title);
    }
    Answer answer(const QString& kind, const QString& text, const QString& title)
    {
        show({kind, text, title, {}});
        if (answers.empty())
            throw std::logic_error("unexpected question: " + text.toStdString());
        const Answer a = answers.front();
        answers.pop_front();
        return a;
    }
    // For askAboutExistingTables: the answers given per table (nullopt = Cancel);
    // the rows as the box proposed them are kept in existingAsked.
    std::deque<std::optional<std::vector<ExistingTableAnswer>>> existingAnswers;
    std::vector<std::vector<ExistingTableRow>> existingAsked;
    bool askAboutExistingTables(std::vector<ExistingTableRow>& rows) override
    {
        QStringList lines;
        for (const auto& row : rows)
            lines << row.table + " on " + row.database + ": " + row.estimate;
        show({"existing tables", lines.join('\n'), {}, {}});
        existingAsked.push_back(rows);
        if (existingAnswers.empty())
            throw std::logic_error("unexpected question about existing tables");
        const auto given = existingAnswers.front();
        existingAnswers.pop_front();
        if (!given)
            return false;
        for (size_t i = 0; i < rows.size() && i < given->size(); ++i)
            rows[i].answer = (*given)[i];
        return true;
    }
    std::optional<QString> inputBox(const QString& prompt, const QString& title, const QString& proposed) override
    {
        show({"input", prompt, title, proposed});
        if (inputs.empty())
            throw std::logic_error("unexpected input box: " + prompt.toStdString());
        auto a = inputs.front();
        inputs.pop_front();
        return a;
    }
    void errorReport(const QString& text) override { show({"error", text, "Application Error", {}}); }
    void yield() override
    {
        ++yields;
        if (onYield)
            onYield();
    }

    QStringList kinds() const
    {
        QStringList list;
        for (const auto& s : shown)
            list << s.kind;
        return list;
    }
    void show(Shown box)
    {
        shown.push_back(box);
        if (onShown)
            onShown(box);
    }

    QStringList texts() const
    {
        QStringList list;
        for (const auto& s : shown)
            list << s.text;
        return list;
    }
};
