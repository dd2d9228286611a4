#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

// The command line, recorded by the first letter of each parameter and acted on by nobody: the
// program never opens or prints a file named on its command line.
class CCmdAnalize {
public:
    static constexpr int kLetters = 26;

    // The parameters after the program name, in order. A leading "-" or "/" is dropped first.
    void ParseCommandLine(const std::vector<std::string>& args);
    // One parameter without its "-" or "/". A parameter that begins with a letter, in either case,
    // records the rest after that letter in the letter's slot (a later one overwrites it); any
    // other first byte (digit, punctuation, backslash, a multibyte character, nothing) is ignored.
    void ParseParam(const std::string& param);

    // Index 0 for "a" up to 25 for "z"; 1 once seen.
    std::array<int32_t, kLetters> letterFlags{};
    std::array<std::string, kLetters> letterValues;

    bool Has(char letter) const;
    const std::string& Value(char letter) const;

private:
    static int IndexOf(char c);
};
