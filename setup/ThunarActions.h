#pragma once

// Thunar keeps a user's custom actions in one file, uca.xml: an <actions>
// element holding one <action> element per action, each with a unique id.
// These add and remove one action, found by its unique id, and leave every
// other byte of the file as it was, so the user's own actions, comments and
// layout stay.

#include <optional>
#include <string>

// What Thunar itself writes when it has no actions.
std::string EmptyThunarActions();

// The text with `action` as its last action, after taking out every action
// with the same unique id. An empty text counts as a file without actions.
// Nothing when the text is not an actions file this can safely change.
std::optional<std::string> WithThunarAction(const std::string& ucaText, const std::string& action,
                                            const std::string& uniqueId);

// The text without the actions whose unique id is `uniqueId`, and without
// the line break that followed each.
std::string WithoutThunarAction(const std::string& ucaText, const std::string& uniqueId);
