// The INFO file as lumpack release and check see it: the keys they write
// and read, read and written as the agent's profile reader reads them
// (sys/IniText.h), everything else left byte for byte.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>

constexpr const char* kNewSetup = "NewSetup";
constexpr const char* kAutoInformSection = "AutoInform";
// The agent refuses a larger INFO file.
constexpr size_t kMaxInfoBytes = 1u << 20;
// The agent compares versions as signed 32-bit numbers.
constexpr int64_t kMaxVersion = 2147483647;
// Beside the INFO file, under its name plus this: the signature of its bytes.
constexpr const char* kSignatureSuffix = ".sig";

// The whole INFO file; false when it cannot be read or is above kMaxInfoBytes (why says which).
bool ReadInfoFile(const std::string& path, std::string& text, std::string& why);

// The value of section/key as the agent reads it (empty when missing).
std::string InfoValue(const std::string& text, const char* section, const char* key);

// Sets section/key and checks that the agent reads it back as written; false
// (text unchanged in the key) when it would not.
bool SetInfoValue(std::string& text, const char* section, const char* key, const std::string& value);

// A decimal number from 1 to kMaxVersion; false for anything else.
bool ParseVersion(const std::string& text, int64_t& version);

// "YYYY-MM-DD", a real day; false for anything else.
bool ParseDay(const std::string& text, std::chrono::year_month_day& day);
// Today in UTC.
std::chrono::year_month_day TodayUtc();
// Empty when the Expires value is a valid day that is not before today;
// else why the agent would refuse the feed.
std::string ExpiresProblem(const std::string& value);
