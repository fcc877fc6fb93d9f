#include "ExistingTableQuestions.h"

bool ExistingTableQuestions::ask(const QString& text, const QString& title)
{
    if (forAll_)
        return *forAll_;
    const Answer answer = existing_ > 1 ? dialogs_.questionForMany(text, title) : dialogs_.question(text, title);
    if (answer == Answer::YesToAll || answer == Answer::NoToAll)
        forAll_ = answer == Answer::YesToAll;
    return answer == Answer::Yes || answer == Answer::YesToAll;
}
