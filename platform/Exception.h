#pragma once

#include <stdexcept>
#include <string>

// Base of the exceptions that the application reports to the user in a
// message box and then carries on (the window's start-up and its handlers
// catch this class and nothing wider).
class Exception : public std::runtime_error {
public:
    explicit Exception(const std::string& message) : std::runtime_error(message) {}
    std::string Message() const { return what(); }
};
