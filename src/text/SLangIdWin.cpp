// Language texts, Windows half: where the locale comes from.
#include <windows.h>

#include "text/SLangId.h"

uint32_t SystemLocaleId()
{
    LCID locale = GetThreadLocale();
    if (locale == 0) locale = GetUserDefaultLCID();
    return static_cast<uint32_t>(locale);
}

void UseSystemLocale() { SetLocaleSource(SystemLocaleId); }
