// lumpack's help: an overview of the verbs, and each verb's options.
#pragma once

#include <string>

extern const char* const kOverview;

// The help of one verb, or nullptr for an unknown verb.
const char* VerbHelp(const std::string& verb);
