#include "ButtonsGoTo.h"

#include "AsciiText.h"

bool ParseButtonsGoTo(const std::string& text, ButtonsGoTo& setting) {
    const std::string lower = LowerAscii(text);
    if (lower == "lastactivesession") {
        setting = ButtonsGoTo::LastActiveSession;
        return true;
    }
    if (lower == "everysession") {
        setting = ButtonsGoTo::EverySession;
        return true;
    }
    return false;
}

const char* ButtonsGoToName(ButtonsGoTo setting) {
    return setting == ButtonsGoTo::EverySession ? "EverySession" : "LastActiveSession";
}
