#pragma once

// What the command line asks for, read from argv without touching anything.

#include <optional>
#include <string>
#include <vector>

enum class Command { Encrypt, Decrypt, Help, Version };

struct Arguments {
    Command command = Command::Help;
    // Set by --suffix or --no-suffix; otherwise the stored setting decides.
    std::optional<bool> suffix;
    bool passwordFromStdin = false;
    std::vector<std::string> files;
};

// The arguments, or the reason they make no sense (a usage error).
struct ParsedArguments {
    std::optional<Arguments> arguments;
    std::string usageError;
};

// argv without the program name. Options may stand anywhere after the
// command; "--" ends them, so a file may be called "-x".
ParsedArguments ParseArguments(const std::vector<std::string>& words);
