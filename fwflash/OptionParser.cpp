#include "OptionParser.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace fwflash {

OptionParser::OptionParser(int argc, char** argv, const char* optionString, const LongOption* longOptions)
    : argc_(argc), argv_(argv), options_(optionString), longOptions_(longOptions)
{
}

bool OptionParser::known(char letter) const
{
    if (letter == ':' || letter == '-') return false;
    return std::strchr(options_, letter) != nullptr;
}

bool OptionParser::takesArgument(char letter) const
{
    const char* at = std::strchr(options_, letter);
    return at && at[1] == ':';
}

void OptionParser::diagnose(const char* what, const std::string& option) const
{
    std::fprintf(stderr, "%s: ", program_invocation_name);
    std::fprintf(stderr, "%s -- %s", what, option.c_str());
    std::fprintf(stderr, "\n");
}

int OptionParser::nextLong(const char* word)
{
    const char* name = word + 2;
    const char* equals = std::strchr(name, '=');
    const std::string key = equals ? std::string(name, equals) : std::string(name);
    for (const LongOption* option = longOptions_; option && option->name; ++option) {
        if (key != option->name) continue;
        if (!takesArgument(option->letter)) {
            if (equals) {
                diagnose("option does not take an argument", key);
                return '?';
            }
            return option->letter;
        }
        if (equals) {
            argument_ = equals + 1;
        } else if (index_ < argc_ && argv_[index_]) {
            argument_ = argv_[index_++];
        } else {
            diagnose("option requires an argument", key);
            return '?';
        }
        return option->letter;
    }
    diagnose("unknown option", key);
    return '?';
}

int OptionParser::next()
{
    argument_ = nullptr;
    if (!cluster_ || !*cluster_) {
        cluster_ = nullptr;
        if (index_ >= argc_) return -1;
        const char* word = argv_[index_];
        if (!word) return -1;
        ++index_;
        if (std::strcmp(word, "--") == 0) {
            index_ = argc_;
            return -1;
        }
        if (word[0] != '-' || word[1] == '\0') {
            // Non-option words (and a lone "-") come back in place.
            argument_ = word;
            return 1;
        }
        if (word[1] == '-') return nextLong(word);
        cluster_ = word + 1;
    }

    const char letter = *cluster_++;
    if (!known(letter)) {
        diagnose("unknown option", std::string(1, letter));
        return '?';
    }
    if (!takesArgument(letter)) return letter;
    if (*cluster_) {
        argument_ = cluster_;
        cluster_ = nullptr;
        return letter;
    }
    cluster_ = nullptr;
    if (index_ < argc_ && argv_[index_]) {
        argument_ = argv_[index_++];
        return letter;
    }
    diagnose("option requires an argument", std::string(1, letter));
    return '?';
}

} // namespace fwflash
