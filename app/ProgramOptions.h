#pragma once

#include <string>

// The program's own command-line options. They are read before the
// application object exists, so --help and --version work without a display;
// every other argument is left to Qt (-platform, -style, ...).
class ProgramOptions {
public:
    enum class Action { Run, ShowHelp, ShowVersion };

    static Action parse(int argc, const char* const* argv);
    static std::string helpText(const std::string& programName);
    static std::string versionText();
};
