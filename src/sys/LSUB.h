// Self-delimited lists: a string whose first character separates its items
// and which ends with that same character, as in "|Error|Attention|Confirm|".
// Every multi-value text of the system goes through these operations.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

class SUB {
public:
    SUB() = delete;

    // Separator candidates, in order of preference.
    static const std::string kSeparators;

    static int Count(const std::string& list);
    static std::string Get(const std::string& list, int index, const std::string& def = "");
    static int64_t GetInt64(const std::string& list, int index, int64_t def = 0);
    static int IndexOf(const std::string& list, const std::string& item, bool prefix = false, int def = -1);
    static bool Contains(const std::string& list, const std::string& item, bool ignoreCase = true, bool trim = true);
    static std::string GetValue(const std::string& list, const std::string& key, const std::string& notFound,
                                const std::string& emptyValue = "", bool allSpaces = true, bool ignoreCase = true);
    static std::string Keys(const std::string& list, bool trim);
    static std::string Values(const std::string& list, bool trim);
    // first: keys, second: values
    static std::pair<std::string, std::string> SplitPairs(const std::string& list);
    static std::string JoinPairs(const std::string& keys, const std::string& values, bool trimEmpty = true);
    static std::string Delete(const std::string& list, int index);
    // Item numbers above kMaxPutIndex (and negative ones) leave the list unchanged.
    static constexpr int kMaxPutIndex = 1000000;
    static std::string Put(const std::string& list, int index, const std::string& text);
    static std::string Build(const std::vector<std::string>& items, bool unique = false);
    static std::string Append(const std::string& list, const std::vector<std::string>& items, bool unique = false);
    static std::string Reverse(const std::string& list);
    static std::string Unique(const std::string& list, const std::string& exempt);
    static std::string TrimEmpty(const std::string& list, bool trailing, bool leading);
    static std::string Normalize(const std::string& text, bool oneItem = false);
    static std::string FromText(const std::string& text);
    static std::string SetSeparator(const std::string& list, char separator);
};
