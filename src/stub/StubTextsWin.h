// The stub's message boxes, in the package's language: its captions, button
// captions and character set.
#pragma once

#include <cstdint>
#include <string>

class TGFileInfo;

// Every box the stub shows has the caption as a bold header above the text
// (kOwnerWithHeader).

// The error box (caption "Error"), shown also in a hidden run.
void ShowStubError(const TGFileInfo& package, const std::string& text);
// The Yes/No question (caption "Confirm"); true for Yes.
bool AskStubConfirm(const TGFileInfo& package, const std::string& text);
