#pragma once

#include <QString>

#include <optional>
#include <vector>

enum class Answer {
    Yes,
    No,
    YesToAll,  // and to the same question about every further item of the action
    NoToAll,
};

// What a send does with one table its target has already.
enum class ExistingTableAnswer { ReplaceTable, AddRows, ReplaceRows, Keep };

// One line of the question about all of a send's existing tables at once.
struct ExistingTableRow {
    QString table;     // as the target lists it
    QString database;  // "IBM DB2", "MySQL"
    QString estimate;  // the server's estimate of its rows and size
    ExistingTableAnswer answer = ExistingTableAnswer::Keep;
};

// Everything an action shows or asks goes through here: the window
// implements it with real boxes, tests answer it. An empty title means the
// application title.
class UserDialogs {
public:
    virtual ~UserDialogs() = default;

    // OK only, no icon.
    virtual void message(const QString& text, const QString& title = {}) = 0;
    // OK only, no icon, with the driver's own words as detail the user can open.
    virtual void messageWithDetail(const QString& text, const QString& detail) = 0;
    // Yes and No, no icon; No is the default button and the Escape answer.
    virtual Answer question(const QString& text, const QString& title) = 0;
    // The same question about one of several items: also "Yes to All" and
    // "No to All"; No is still the default.
    virtual Answer questionForMany(const QString& text, const QString& title) { return question(text, title); }
    // The tables a send would replace, in one box before anything is sent:
    // an answer per table, proposed in `rows`, and one for all of them.
    // False: Cancel, nothing is to be sent.
    virtual bool askAboutExistingTables(std::vector<ExistingTableRow>& rows) = 0;
    // OK and Cancel with a proposed answer; Cancel gives nullopt.
    virtual std::optional<QString> inputBox(const QString& prompt, const QString& title, const QString& proposed) = 0;
    // The uniform error report: OK only, exclamation icon, title "Application Error".
    virtual void errorReport(const QString& text) = 0;
    // Lets the window repaint while an action runs.
    virtual void yield() = 0;
};

// The mouse pointer a window shows: the arrow, the hourglass while an action
// runs, the hand over a push button.
enum class Pointer { Default, Busy, Hand };

// A window's MousePointer property as its form numbered the pointers (0, 11, 99).
constexpr int MousePointerValue(Pointer pointer)
{
    switch (pointer) {
    case Pointer::Busy: return 11;
    case Pointer::Hand: return 99;
    case Pointer::Default: break;
    }
    return 0;
}
