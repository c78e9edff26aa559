// Self-delimited lists. Lists are handled by their stored length, so a list
// whose items use every separator candidate and therefore keeps NUL as its
// separator works like any other.
#include "sys/LSUB.h"

#include <algorithm>

#include "sys/Utils.h"

const std::string SUB::kSeparators = std::string("|*~^!@#$&") + '\xFF';

namespace {

constexpr char kNul = '\0';

// Items of a list in order; the closed items only, so text after the last
// separator of an unclosed list is not an item.
std::vector<std::string> Items(const std::string& list)
{
    std::vector<std::string> items;
    if (list.size() < 2) return items;
    const char sep = list[0];
    size_t start = 1;
    for (;;) {
        size_t end = list.find(sep, start);
        if (end == std::string::npos) break;
        items.push_back(list.substr(start, end - start));
        start = end + 1;
    }
    return items;
}

// sep + item + sep + item + ... + sep (just sep for no items).
std::string Join(const std::vector<std::string>& items, char sep)
{
    std::string out(1, sep);
    for (const auto& item : items) {
        out += item;
        out += sep;
    }
    return out;
}

// The items of a well-formed list; none for an ill-formed one (as Count says).
std::vector<std::string> CountedItems(const std::string& list)
{
    std::vector<std::string> items = Items(list);
    items.resize(static_cast<size_t>(SUB::Count(list)));
    return items;
}

}  // namespace

int SUB::Count(const std::string& list)
{
    if (list.size() < 2 || list.back() != list.front()) return 0;
    return static_cast<int>(std::count(list.begin() + 1, list.end(), list.front()));
}

std::string SUB::Get(const std::string& list, int index, const std::string& def)
{
    if (list.size() < 2) return def;  // the empty list, a lone separator or a lone NUL
    if (index == -1) index = Count(list) - 1;
    if (index < 0) return def;
    const char sep = list[0];
    size_t start = 1;
    for (int n = 0;; ++n) {
        size_t end = list.find(sep, start);
        if (end == std::string::npos) return def;
        if (n == index) return end > start ? list.substr(start, end - start) : def;
        start = end + 1;
    }
}

int64_t SUB::GetInt64(const std::string& list, int index, int64_t def)
{
    return TextToInt64(Get(list, index, ""), def);
}

int SUB::IndexOf(const std::string& list, const std::string& item, bool prefix, int def)
{
    const std::string l = UpperCase(Trim(list));
    const std::string it = UpperCase(item);
    const std::string itTrimmed = Trim(it);
    if (l.empty() || it.empty()) return def;
    const char sep = l[0];
    auto pattern = [&](const std::string& s) { return prefix ? sep + s : sep + s + sep; };
    size_t p = l.find(pattern(it));
    if (p == std::string::npos) p = l.find(pattern(itTrimmed));
    if (p == std::string::npos) return def;
    // Separators in front of the match, not counting the leading one.
    return static_cast<int>(std::count(l.begin() + 1, l.begin() + static_cast<std::ptrdiff_t>(p) + 1, sep));
}

bool SUB::Contains(const std::string& list, const std::string& item, bool ignoreCase, bool trim)
{
    std::string l = trim ? Trim(list) : list;
    std::string it = trim ? Trim(item) : item;
    if (l.empty() || it.empty()) return false;
    if (ignoreCase) {
        l = UpperCase(l);
        it = UpperCase(it);
    }
    const char sep = l[0];
    return l.find(sep + it + sep) != std::string::npos;
}

std::string SUB::GetValue(const std::string& list, const std::string& key, const std::string& notFound,
                          const std::string& emptyValue, bool allSpaces, bool ignoreCase)
{
    if (list.size() < 3 || list.back() != list.front()) return notFound;
    const char sep = list[0];

    std::string search(1, sep);
    if (key == "=")
        search += "==";
    else
        search += EndsWith(key, "=") ? key : key + "=";

    std::string l = list;
    if (l.find(' ') != std::string::npos) {
        if (allSpaces) {
            l = ReplaceRepeatedly(l, " =", "=");
        } else {
            size_t p = l.find(" =");
            if (p != std::string::npos) {
                size_t b = p;
                while (b > 0 && l[b - 1] == ' ') --b;
                l.erase(b, p + 1 - b);
            }
        }
    }

    size_t p = ignoreCase ? UpperCase(l).find(UpperCase(search)) : l.find(search);
    if (p == std::string::npos) return notFound;
    size_t start = p + search.size();
    size_t end = l.find(sep, start);  // always found: the list ends with sep
    std::string value = l.substr(start, end - start);
    return value.empty() ? emptyValue : value;
}

std::string SUB::Keys(const std::string& list, bool trim)
{
    std::vector<std::string> keys;
    for (const auto& item : CountedItems(list)) {
        size_t eq = item.find('=');
        std::string k = eq == std::string::npos ? "" : item.substr(0, eq);
        keys.push_back(trim ? Trim(k) : k);
    }
    return Normalize(Join(keys, kNul));
}

std::string SUB::Values(const std::string& list, bool trim)
{
    std::vector<std::string> values;
    for (const auto& item : CountedItems(list)) {
        size_t eq = item.find('=');
        std::string v = eq == std::string::npos ? "" : item.substr(eq + 1);
        values.push_back(trim ? Trim(v) : v);
    }
    return Normalize(Join(values, kNul));
}

std::pair<std::string, std::string> SUB::SplitPairs(const std::string& list)
{
    return {Keys(list, false), Values(list, false)};
}

std::string SUB::JoinPairs(const std::string& keys, const std::string& values, bool trimEmpty)
{
    const std::string k = trimEmpty ? TrimEmpty(keys, true, false) : keys;
    const std::string v = trimEmpty ? TrimEmpty(values, true, false) : values;
    const int n = std::max(Count(k), Count(v));
    std::vector<std::string> pairs;
    for (int i = 0; i < n; ++i) pairs.push_back(Cat({Get(k, i, ""), "=", Get(v, i, "")}));
    return Normalize(Join(pairs, kNul));
}

std::string SUB::Delete(const std::string& list, int index)
{
    // A negative number removes nothing (and must not lose the text of an
    // unclosed list by rebuilding it).
    if (list.empty() || index < 0 || index >= Count(list)) return list;
    std::vector<std::string> items = CountedItems(list);
    items.erase(items.begin() + index);
    return Join(items, list[0]);
}

std::string SUB::Put(const std::string& list, int index, const std::string& text)
{
    // A list grows to the given item, but no further than any list of this
    // system could need: a wild number must not exhaust the memory.
    if (index < 0 || index > kMaxPutIndex) return list;
    const std::string l = list.empty() ? std::string("|") : list;
    const char sep = l[0];
    // Items 0 to n-1 as Get reads them, n being the count or the new item's
    // number + 1, whichever is larger.
    std::vector<std::string> items = Items(l);
    items.resize(static_cast<size_t>(std::max(Count(l), index + 1)));
    items[static_cast<size_t>(index)] = text;
    // The list keeps its separator unless the new text holds it (a NUL
    // separator always goes through Normalize, which may find a better one).
    if (sep != kNul && text.find(sep) == std::string::npos) return Join(items, sep);
    return Normalize(Join(items, kNul));
}

std::string SUB::Build(const std::vector<std::string>& items, bool unique)
{
    std::string list = Normalize(Join(items, kNul));
    return unique ? Unique(list, "") : list;
}

std::string SUB::Append(const std::string& list, const std::vector<std::string>& items, bool unique)
{
    std::string result;
    if (list.empty()) {
        result = Build(items, false);
    } else {
        const char sep = list[0];
        bool holdsSep = false;
        for (const auto& item : items)
            if (item.find(sep) != std::string::npos) holdsSep = true;
        result = holdsSep ? ReplaceChar(list, sep, kNul) : list;
        const char joiner = holdsSep ? kNul : sep;
        for (const auto& item : items) {
            result += item;
            result += joiner;
        }
        if (holdsSep) result = Normalize(result);
    }
    return unique ? Unique(result, "") : result;
}

std::string SUB::Reverse(const std::string& list)
{
    // A list without items stays as it is, unclosed text included.
    if (Count(list) == 0) return list;
    std::vector<std::string> items = CountedItems(list);
    std::reverse(items.begin(), items.end());
    return Join(items, list[0]);
}

std::string SUB::Unique(const std::string& list, const std::string& exempt)
{
    if (list.empty()) return "";
    std::string result;
    for (const auto& item : CountedItems(list)) {
        if (item.empty()) continue;
        if (!Contains(result, item, true, true) || Contains(exempt, item, true, true))
            result = Append(result, {item}, false);
    }
    return SetSeparator(result, list[0]);
}

std::string SUB::TrimEmpty(const std::string& list, bool trailing, bool leading)
{
    std::string l = list;
    if (trailing)
        while (Count(l) > 0 && Get(l, -1, "").empty()) l = Delete(l, Count(l) - 1);
    if (leading)
        while (Count(l) > 0 && Get(l, 0, "").empty()) l = Delete(l, 0);
    return l.size() == 1 ? "" : l;
}

std::string SUB::Normalize(const std::string& text, bool oneItem)
{
    if (text.empty()) return "";
    if (oneItem) return FromText(text);
    std::string t = text;
    if (t.find(kNul) == std::string::npos) t = ReplaceChar(t, t[0], kNul);
    const char first = t[0];
    for (char candidate : kSeparators) {
        if (t.find(candidate) == std::string::npos) {
            t = ReplaceChar(t, first, candidate);
            break;
        }
    }
    return t.size() == 1 ? "" : t;
}

std::string SUB::FromText(const std::string& text)
{
    return Normalize(kNul + text + kNul);
}

std::string SUB::SetSeparator(const std::string& list, char separator)
{
    if (list.empty()) return list;
    return ReplaceChar(list, list[0], separator);
}
