// tablehop-cli check: the core's self-check against the user's own servers,
// a PASS or FAIL line per check and the verdict last.
#include "CliCommands.h"
#include "SelfCheck.h"
#include "Workspace.h"

#include <ostream>

namespace {

class PrintedChecks : public SelfCheckObserver {
public:
    explicit PrintedChecks(std::ostream& out) : out_(out) { }
    void passed(const std::string& check) override { out_ << "PASS  " << check << "\n" << std::flush; }
    void failed(const std::string& check, const std::string& why) override
    {
        out_ << "FAIL  " << check << ": " << why << "\n" << std::flush;
    }

private:
    std::ostream& out_;
};

}  // namespace

int RunCheck(const CliArgs& args, CliContext& context)
{
    if (!args.words.empty())
        throw UsageError("check takes no table names");
    Workspace workspace(ProfileFor(DatabaseSide::MySQL, args, context), ProfileFor(DatabaseSide::DB2, args, context));
    PrintedChecks printed(context.out);
    const int failures = workspace.selfCheck(printed);
    context.out << (failures == 0 ? "All checks passed.\n" : std::to_string(failures) + " checks failed.\n");
    return failures == 0 ? kExitOk : kExitRefused;
}
