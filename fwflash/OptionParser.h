#pragma once

#include <string>

namespace fwflash {

// A getopt-style parser with its own state, so that every run starts afresh.
// The option string follows getopt: a leading '-' returns every non-option
// word in place as code 1; "x:" takes an argument (rest of the word or the
// next word); "--" ends the options. Long forms ("--help", "--device=9f2b:*")
// are looked up in a table of aliases for the letters. Diagnostics go to
// standard error as "<program>: unknown option -- x".
class OptionParser {
public:
    struct LongOption {
        const char* name;
        char letter;
    };

    OptionParser(int argc, char** argv, const char* optionString, const LongOption* longOptions);

    // The next option letter, 1 for a non-option word, '?' for an error, -1 at the end.
    int next();
    const char* argument() const { return argument_; }

private:
    int nextLong(const char* word);
    bool takesArgument(char letter) const;
    bool known(char letter) const;
    void diagnose(const char* what, const std::string& option) const;

    int argc_;
    char** argv_;
    const char* options_;
    const LongOption* longOptions_;
    int index_ = 1;
    const char* cluster_ = nullptr; // rest of a word of clustered letters
    const char* argument_ = nullptr;
};

} // namespace fwflash
