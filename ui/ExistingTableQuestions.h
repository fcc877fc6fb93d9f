#pragma once

#include "UserDialogs.h"

#include <QString>

#include <optional>

// The questions one send asks about the tables the target has already. When
// more than one of its tables exists there, each question also offers "Yes
// to All" and "No to All"; such an answer stands for the rest of the send and
// no further question is shown.
class ExistingTableQuestions {
public:
    explicit ExistingTableQuestions(UserDialogs& dialogs) : dialogs_(dialogs) { }

    void setExistingCount(size_t count) { existing_ = count; }
    // True = Yes.
    bool ask(const QString& text, const QString& title);

private:
    UserDialogs& dialogs_;
    size_t existing_ = 0;
    std::optional<bool> forAll_;
};
