// Changing one key of an INI file's text and nothing else: the lines
// around it, comments, blanks and line ends stay byte for byte. Sections
// and keys are found as the profile functions find them (trimmed, without
// regard to case, the first one counting).
#pragma once

#include <string>

// Longest value a read returns (the profile functions' buffer, less one).
constexpr size_t kIniMaxValueLength = 32767;

// The value of section/key in an INI file's text: trimmed, one pair of
// enclosing double or single quotes removed, at most kIniMaxValueLength
// characters; `def` when the key is missing or its value empty. Lines that
// begin with ";" are comments.
std::string IniGetValue(const std::string& text, const std::string& section, const std::string& key,
                        const std::string& def);

// The text with section/key set to value: the value part of the key's line
// is replaced, a missing key is added after the section's last line, a
// missing section is added at the end. False (text unchanged) when value,
// section or key holds a line break or the names are empty or malformed.
bool IniSetValue(std::string& text, const std::string& section, const std::string& key, const std::string& value);

// Win32: the value of section/key read from the file now, every call (no
// copy of the file is kept between calls); `def` when the file is missing,
// unreadable or larger than an INI file beside a program ever is (4 MiB).
std::string ReadIniKeyFresh(const std::string& file, const std::string& section, const std::string& key,
                            const std::string& def);

// Win32: sets one key of an existing INI file. The file is never created;
// the new text goes to a fresh file beside it that then replaces the old
// one, so a failed write leaves the file as it was. False on any failure.
bool WriteIniKeyInPlace(const std::string& file, const std::string& section, const std::string& key,
                        const std::string& value);
