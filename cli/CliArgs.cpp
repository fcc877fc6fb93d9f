#include "CliArgs.h"

CliArgs ParseCliArgs(const std::vector<std::string>& args, const std::set<std::string>& valuedOptions,
                     const std::set<std::string>& flags)
{
    CliArgs parsed;
    bool onlyWords = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (onlyWords || arg.size() < 2 || arg.compare(0, 2, "--") != 0) {
            if (arg == "-h" && !onlyWords) {
                parsed.flags.insert("help");
                continue;
            }
            if (parsed.command.empty())
                parsed.command = arg;
            else
                parsed.words.push_back(arg);
            continue;
        }
        if (arg == "--") {
            onlyWords = true;
            continue;
        }
        std::string name = arg.substr(2);
        std::string value;
        bool hasValue = false;
        if (const auto eq = name.find('='); eq != std::string::npos) {
            value = name.substr(eq + 1);
            name = name.substr(0, eq);
            hasValue = true;
        }
        if (valuedOptions.count(name)) {
            if (!hasValue) {
                if (i + 1 >= args.size())
                    throw UsageError("option --" + name + " needs a value");
                value = args[++i];
            }
            parsed.options[name] = value;
        } else if (flags.count(name) && !hasValue) {
            parsed.flags.insert(name);
        } else {
            throw UsageError("unknown option --" + name);
        }
    }
    return parsed;
}
