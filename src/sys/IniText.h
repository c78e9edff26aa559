// Changing one key of an INI file's text and nothing else: the lines
// around it, comments, blanks and line ends stay byte for byte. Sections
// and keys are found as the profile functions find them (trimmed, without
// regard to case, the first one counting).
#pragma once

#include <string>

// The text with section/key set to value: the value part of the key's line
// is replaced, a missing key is added after the section's last line, a
// missing section is added at the end. False (text unchanged) when value,
// section or key holds a line break or the names are empty or malformed.
bool IniSetValue(std::string& text, const std::string& section, const std::string& key, const std::string& value);

// Win32: sets one key of an existing INI file. The file is never created;
// the new text goes to a fresh file beside it that then replaces the old
// one, so a failed write leaves the file as it was. False on any failure.
bool WriteIniKeyInPlace(const std::string& file, const std::string& section, const std::string& key,
                        const std::string& value);
