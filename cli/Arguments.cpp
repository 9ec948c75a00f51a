#include "cli/Arguments.h"

namespace {

ParsedArguments UsageError(std::string message) { return {std::nullopt, std::move(message)}; }

bool IsHelp(const std::string& word) { return word == "--help" || word == "-h"; }

bool IsCommandOption(const std::string& word) {
    return word == "--suffix" || word == "--no-suffix" || word == "--password-stdin";
}

}  // namespace

ParsedArguments ParseArguments(const std::vector<std::string>& words) {
    if (words.empty()) return UsageError("no command given (encrypt or decrypt)");

    Arguments arguments;
    const std::string& command = words.front();
    if (IsHelp(command)) {
        arguments.command = Command::Help;
        return {arguments, {}};
    }
    if (command == "--version") {
        arguments.command = Command::Version;
        return {arguments, {}};
    }
    if (command == "encrypt") {
        arguments.command = Command::Encrypt;
    } else if (command == "decrypt") {
        arguments.command = Command::Decrypt;
    } else if (IsCommandOption(command)) {
        return UsageError("the command (encrypt or decrypt) must come before '" + command + "'");
    } else if (command.size() > 1 && command.front() == '-') {
        return UsageError("unknown option '" + command + "'");
    } else {
        return UsageError("unknown command '" + command + "'");
    }

    bool optionsEnded = false;
    for (std::size_t n = 1; n < words.size(); ++n) {
        const std::string& word = words[n];
        // A lone "-" is a file name, as for cp and mv: standard input cannot
        // be converted in place.
        if (optionsEnded || word.size() < 2 || word.front() != '-') {
            arguments.files.push_back(word);
        } else if (word == "--") {
            optionsEnded = true;
        } else if (IsHelp(word)) {
            arguments = Arguments{};
            arguments.command = Command::Help;
            return {arguments, {}};
        } else if (word == "--password-stdin") {
            arguments.passwordFromStdin = true;
        } else if (word == "--suffix" || word == "--no-suffix") {
            if (arguments.command == Command::Decrypt)
                return UsageError("'" + word + "' is for encryption only; decryption always "
                                  "removes a \".locked\" suffix");
            bool suffix = word == "--suffix";
            if (arguments.suffix && *arguments.suffix != suffix)
                return UsageError("'--suffix' and '--no-suffix' exclude each other");
            arguments.suffix = suffix;
        } else {
            return UsageError("unknown option '" + word + "'");
        }
    }
    if (arguments.files.empty()) return UsageError("no file given");
    return {arguments, {}};
}
