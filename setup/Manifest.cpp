#include "setup/Manifest.h"

#include <vector>

#include "setup/Entries.h"
#include "setup/Files.h"

namespace {

std::string Escaped(const std::string& field) {
    std::string escaped;
    for (char c : field) {
        if (c == '\\')
            escaped += "\\\\";
        else if (c == '\t')
            escaped += "\\t";
        else if (c == '\n')
            escaped += "\\n";
        else
            escaped += c;
    }
    return escaped;
}

std::optional<std::string> Unescaped(const std::string& field) {
    std::string text;
    for (std::size_t i = 0; i < field.size(); ++i) {
        if (field[i] != '\\') {
            text += field[i];
            continue;
        }
        if (++i == field.size()) return std::nullopt;
        switch (field[i]) {
        case '\\': text += '\\'; break;
        case 't': text += '\t'; break;
        case 'n': text += '\n'; break;
        default: return std::nullopt;
        }
    }
    return text;
}

std::string Line(std::initializer_list<std::string> fields) {
    std::string line;
    for (const std::string& field : fields) {
        if (!line.empty()) line += '\t';
        line += Escaped(field);
    }
    return line + "\n";
}

}  // namespace

bool Manifest::Empty() const {
    return files.empty() && folders.empty() && !thunar && entries.empty() && registryKeys.empty();
}

Manifest Manifest::Load(const std::string& path) {
    Manifest manifest;
    std::optional<std::string> text = ReadSmallFile(path);
    if (!text) return manifest;

    std::size_t lineNumber = 0;
    std::size_t start = 0;
    while (start < text->size()) {
        std::size_t end = text->find('\n', start);
        if (end == std::string::npos) end = text->size();
        std::string line = text->substr(start, end - start);
        start = end + 1;
        ++lineNumber;
        if (line.empty() || line[0] == '#') continue;

        std::vector<std::string> fields;
        bool readable = true;
        std::size_t from = 0;
        while (true) {
            std::size_t tab = line.find('\t', from);
            std::optional<std::string> field =
                Unescaped(line.substr(from, tab == std::string::npos ? std::string::npos : tab - from));
            if (!field) readable = false;
            fields.push_back(field.value_or(""));
            if (tab == std::string::npos) break;
            from = tab + 1;
        }
        const std::string& kind = fields[0];
        if (readable && kind == "file" && fields.size() == 3)
            manifest.files[fields[2]] = fields[1];
        else if (readable && kind == "folder" && fields.size() == 2)
            manifest.folders.insert(fields[1]);
        else if (readable && kind == "thunar" && fields.size() == 3)
            manifest.thunar = ThunarRecord{fields[1], fields[2]};
        else if (readable && kind == "entry" && fields.size() == 3)
            manifest.entries[fields[1]] = fields[2];
        else if (readable && kind == "key" && fields.size() == 2)
            manifest.registryKeys.insert(fields[1]);
        else
            throw SetupError("The record of what quorvex-setup added, '" + path +
                             "', is damaged at line " + std::to_string(lineNumber) +
                             ". Nothing was changed; repair or remove that file.");
    }
    return manifest;
}

void Manifest::Save(const std::string& path) const {
    std::string text = AddedBySetupNote;
    for (const auto& [file, digest] : files) text += Line({"file", digest, file});
    for (const auto& folder : folders) text += Line({"folder", folder});
    if (thunar) text += Line({"thunar", thunar->path, thunar->createdWithDigest});
    for (const auto& [name, value] : entries) text += Line({"entry", name, value});
    for (const auto& key : registryKeys) text += Line({"key", key});
    WriteFileAtomically(path, text, 0644);
}
