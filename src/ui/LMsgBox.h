// The system's message box: a modal window with a read-only rich edit for
// the text (mark-up of LMsgBoxMarkup), a coloured band with an icon, and up
// to three buttons captioned from the active language. Button sets, icons
// and result codes are those of the Windows message box (LMsgBoxButtons).
// While a box is open it also refuses AutoPlay for inserted discs, once
// RegisterAutoPlayCancel (UtilsWin) has registered that message.
//
// Owner mode: 0 owned by the active window, with a bold header (the caption)
// above the text; 1 owned by the active window; 2 like 1 with the window
// menu's Close greyed; any larger value is the owner window's handle.
// Windows only (LMsgBoxWin); only one box is meant to be open at a time.
#pragma once

#include <cstdint>
#include <string>

#include "ui/LMsgBoxButtons.h"
#include "ui/LMsgBoxMarkup.h"

// The window class of every box.
inline constexpr const char* kMsgBoxClass = "LMsgBox";

// The core: shows the box and returns the chosen button's result code, 0
// when it was closed without one (Escape, the Close command). `captions` is
// the list of seven button captions (empty: the default list); `charset` the
// active language's (177 and 178 turn the text right to left); `timeoutMs`
// above 0 closes the box by itself with its first button's result.
int MsgBox(intptr_t ownerMode, const std::string& text, const std::string& caption, const std::string& captions,
           int charset, uint32_t style, int timeoutMs);

// Stop icon and OK; caption "Error" when empty.
int MsgBoxError(intptr_t ownerMode, const std::string& text, const std::string& caption,
                const std::string& captions, int charset);
// Exclamation icon and OK; caption "Attention" when empty.
int MsgBoxAttention(intptr_t ownerMode, const std::string& text, const std::string& caption,
                    const std::string& captions, int charset, int timeoutMs);
// Question icon, Yes and No; caption "Confirm" when empty. True for Yes (a
// timeout gives Yes).
bool MsgBoxConfirm(intptr_t ownerMode, const std::string& text, const std::string& caption,
                   const std::string& captions, int charset, int timeoutMs);
// Question icon, OK and Cancel; caption "Confirm" when empty. True for OK.
bool MsgBoxOkCancel(intptr_t ownerMode, const std::string& text, const std::string& caption,
                    const std::string& captions, int charset);

// Messages of the application's range (WM_USER to 0x7FFF) that reach a box
// go on to this window (0: none). Another program posts to a program's
// main window, and while a box is open that is the box.
void ForwardAppMessagesTo(uintptr_t window);

// Closes the open box (the innermost) as the Close command does (result 0),
// for a caller that learns, while the box waits, that its question no
// longer matters.
void CloseOpenMsgBox();

// The font of every later box: face and charset always, the size (points)
// only when it is not 0. Initially "Tahoma", 8, DEFAULT_CHARSET (1).
void SetMsgBoxFont(const std::string& face, int size, int charset);
