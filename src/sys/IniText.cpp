#include "sys/IniText.h"

#include <vector>

#include "sys/Utils.h"

namespace {

struct TLine {
    size_t begin, end, next;  // text, its end without the line break, the next line
};

std::vector<TLine> SplitLines(const std::string& t)
{
    std::vector<TLine> lines;
    // A UTF-8 mark in front of the first section (editors write one) is not
    // part of its line.
    size_t p = t.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0;
    while (p < t.size()) {
        size_t nl = t.find('\n', p);
        size_t next = nl == std::string::npos ? t.size() : nl + 1;
        size_t end = nl == std::string::npos ? t.size() : nl;
        if (end > p && t[end - 1] == '\r') --end;
        lines.push_back({p, end, next});
        p = next;
    }
    return lines;
}

bool Bad(const std::string& s) { return s.find_first_of("\r\n") != std::string::npos; }

}  // namespace

std::string IniGetValue(const std::string& text, const std::string& section, const std::string& key,
                        const std::string& def)
{
    if (Trim(section).empty() || Trim(key).empty()) return def;
    bool inSection = false;
    for (const TLine& l : SplitLines(text)) {
        const std::string line = Trim(text.substr(l.begin, l.end - l.begin));
        if (line.empty() || line[0] == ';') continue;
        if (line[0] == '[') {
            const size_t close = line.find(']');
            inSection = close != std::string::npos && SameText(line.substr(1, close - 1), section);
            continue;
        }
        if (!inSection) continue;
        const size_t eq = line.find('=');
        if (!SameText(line.substr(0, eq), key)) continue;
        std::string v = eq == std::string::npos ? "" : Trim(line.substr(eq + 1));
        if (v.size() >= 2 && (v[0] == '"' || v[0] == '\'') && v.back() == v[0]) v = v.substr(1, v.size() - 2);
        if (v.size() > kIniMaxValueLength) v.resize(kIniMaxValueLength);
        return v.empty() ? def : v;
    }
    return def;
}

bool IniSetValue(std::string& text, const std::string& section, const std::string& key, const std::string& value)
{
    if (Bad(section) || Bad(key) || Bad(value) || Trim(section).empty() || Trim(key).empty() ||
        key.find('=') != std::string::npos || section.find(']') != std::string::npos)
        return false;
    const std::string eol = text.find("\r\n") != std::string::npos || text.find('\n') == std::string::npos ? "\r\n"
                                                                                                           : "\n";
    const std::vector<TLine> lines = SplitLines(text);
    bool inSection = false;
    size_t insertAt = std::string::npos;  // after the section's last non-blank line
    bool insertNeedsBreak = false;
    for (const TLine& l : lines) {
        const std::string line = Trim(text.substr(l.begin, l.end - l.begin));
        if (!line.empty() && line[0] == '[') {
            if (inSection) break;
            const size_t close = line.find(']');
            inSection = close != std::string::npos && SameText(line.substr(1, close - 1), section);
            if (inSection) {
                insertAt = l.next;
                insertNeedsBreak = l.next == l.end;
            }
            continue;
        }
        if (!inSection) continue;
        if (!line.empty()) {
            insertAt = l.next;
            insertNeedsBreak = l.next == l.end;
        }
        const size_t eq = text.find('=', l.begin);
        if (eq == std::string::npos || eq >= l.end || !SameText(text.substr(l.begin, eq - l.begin), key)) continue;
        size_t v = eq + 1;
        while (v < l.end && (text[v] == ' ' || text[v] == '\t')) ++v;
        text.replace(v, l.end - v, value);
        return true;
    }
    const std::string entry = Cat({key, "=", value, eol});
    if (insertAt != std::string::npos) {
        text.insert(insertAt, (insertNeedsBreak ? eol : "") + entry);
    } else {
        if (!text.empty() && text.back() != '\n') text += eol;
        text += "[" + section + "]" + eol + entry;
    }
    return true;
}
