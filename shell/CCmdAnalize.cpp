#include "shell/CCmdAnalize.h"

void CCmdAnalize::ParseCommandLine(const std::vector<std::string>& args) {
    for (const std::string& arg : args) {
        if (!arg.empty() && (arg.front() == '-' || arg.front() == '/')) {
            ParseParam(arg.substr(1));
        } else {
            ParseParam(arg);
        }
    }
}

int CCmdAnalize::IndexOf(char c) {
    if (c >= 'a' && c <= 'z') {
        return c - 'a';
    }
    if (c >= 'A' && c <= 'Z') {
        return c - 'A';
    }
    return -1;
}

void CCmdAnalize::ParseParam(const std::string& param) {
    const int index = param.empty() ? -1 : IndexOf(param.front());
    if (index < 0) {
        return;
    }
    letterFlags[index] = 1;
    letterValues[index] = param.substr(1);
}

bool CCmdAnalize::Has(char letter) const {
    const int index = IndexOf(letter);
    return index >= 0 && letterFlags[index] != 0;
}

const std::string& CCmdAnalize::Value(char letter) const {
    static const std::string empty;
    const int index = IndexOf(letter);
    return index >= 0 ? letterValues[index] : empty;
}
