#include "setup/ThunarActions.h"

#include "setup/Entries.h"

namespace {

constexpr char ActionStart[] = "<action>";
constexpr char ActionEnd[] = "</action>";
constexpr char ActionsEnd[] = "</actions>";

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

bool OnlySpace(const std::string& text, std::size_t from) {
    for (std::size_t i = from; i < text.size(); ++i)
        if (!IsSpace(text[i])) return false;
    return true;
}

// Where the <actions> element's start tag begins, or npos.
std::size_t ActionsStart(const std::string& text) {
    for (std::size_t at = text.find("<actions"); at != std::string::npos;
         at = text.find("<actions", at + 1)) {
        char next = at + 8 < text.size() ? text[at + 8] : '\0';
        if (next == '>' || IsSpace(next)) return at;
    }
    return std::string::npos;
}

bool HasUniqueId(const std::string& action, const std::string& uniqueId) {
    return action.find("<unique-id>" + XmlEscaped(uniqueId) + "</unique-id>") != std::string::npos;
}

}  // namespace

std::string EmptyThunarActions() {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<actions>\n</actions>\n";
}

std::optional<std::string> WithThunarAction(const std::string& ucaText, const std::string& action,
                                            const std::string& uniqueId) {
    std::string text = OnlySpace(ucaText, 0) ? EmptyThunarActions()
                                              : WithoutThunarAction(ucaText, uniqueId);
    std::size_t start = ActionsStart(text);
    std::size_t end = text.rfind(ActionsEnd);
    if (start == std::string::npos || end == std::string::npos || end < start ||
        !OnlySpace(text, end + sizeof ActionsEnd - 1))
        return std::nullopt;
    // The action and its line break sit right before the closing tag, so
    // taking both out again gives back the file as it was.
    text.insert(end, action + "\n");
    return text;
}

std::string WithoutThunarAction(const std::string& ucaText, const std::string& uniqueId) {
    std::string text = ucaText;
    std::size_t from = 0;
    while (true) {
        std::size_t start = text.find(ActionStart, from);
        if (start == std::string::npos) return text;
        std::size_t end = text.find(ActionEnd, start);
        if (end == std::string::npos) return text;
        end += sizeof ActionEnd - 1;
        if (!HasUniqueId(text.substr(start, end - start), uniqueId)) {
            from = end;
            continue;
        }
        if (text.compare(end, 2, "\r\n") == 0)
            end += 2;
        else if (end < text.size() && text[end] == '\n')
            end += 1;
        text.erase(start, end - start);
        from = start;
    }
}
