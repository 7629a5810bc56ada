// The session script: a text file of server commands and simulated-bus actions, one per line, that
// the command-line front end plays against a driver module. The format is described in
// docs/DEVELOPING.md ("Session scripts").
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace demosession {

struct ScriptStep {
    int line = 0;                    // 1-based line number in the script
    std::string verb;                // lower case
    std::vector<std::string> words;  // the arguments, split at white space
    std::string rest;                // everything after the verb, as written (for "say")
};

// Splits the text into steps: blank lines and lines starting with '#' are skipped, and "#" after
// white space starts a comment. Checks every verb and its argument count; on the first fault
// returns false with "line N: reason" in error.
bool ParseScript(const std::string& text, std::vector<ScriptStep>& steps, std::string& error);

// A handle as a script writes it: decimal or 0x-prefixed hexadecimal, 0 to 0xFFFFFFFF.
bool ParseHandle(const std::string& word, uint32_t& handle);
// A signed 32-bit decimal or 0x-prefixed hexadecimal number.
bool ParseInt32(const std::string& word, int32_t& value);

// The verbs and what they take, for the usage text.
const char* ScriptHelp();

}  // namespace demosession
