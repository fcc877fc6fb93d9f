#pragma once

#include <string>

class Workspace;

// A self-check against the user's own servers: scratch tables named
// TABLEHOP_CHECK_... with awkward values go both ways through the real
// transfer, every value is compared as verify compares, and what was made is
// dropped again. Each check passes or fails with the driver's message.
class SelfCheckObserver {
public:
    virtual ~SelfCheckObserver() = default;
    virtual void passed(const std::string& check) = 0;
    virtual void failed(const std::string& check, const std::string& why) = 0;
};

// Runs the self-check with the workspace's logins; returns how many checks
// failed. The workspace's options are its own again afterwards.
int RunSelfCheck(Workspace& workspace, SelfCheckObserver& observer);

// Whether two texts of decimals are one number, as the self-check compares
// them: ".5", "0.5" and "0.50" are; a text that is no decimal equals nothing.
bool SameDecimalValue(const std::string& a, const std::string& b);
