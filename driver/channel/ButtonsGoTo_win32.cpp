#include "ButtonsGoTo.h"

#include <windows.h>

#include "FormatString.h"

ButtonsGoTo ReadButtonsGoTo(std::string& note) {
    note.clear();
    ButtonsGoTo setting = ButtonsGoTo::LastActiveSession;
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Tovaro\\TovUSB", 0, KEY_QUERY_VALUE | KEY_WOW64_32KEY, &key) !=
        ERROR_SUCCESS) {
        return setting;
    }
    // Longer than any valid text: a longer value is refused whole, never cut to a valid one.
    char text[64] = {};
    DWORD type = 0;
    DWORD size = sizeof text - 1;
    const LONG rc = RegQueryValueExA(key, "ButtonsGoTo", nullptr, &type, reinterpret_cast<BYTE*>(text), &size);
    RegCloseKey(key);
    if (rc == ERROR_FILE_NOT_FOUND) return setting;
    if (rc != ERROR_SUCCESS || type != REG_SZ) {
        note = FormatString("ButtonsGoTo is not a readable REG_SZ value (error %ld, type %lu)", rc, type);
        return setting;
    }
    text[size < sizeof text ? size : sizeof text - 1] = '\0';
    if (!ParseButtonsGoTo(text, setting)) {
        note = FormatString("ButtonsGoTo \"%s\" is neither LastActiveSession nor EverySession", text);
    }
    return setting;
}
