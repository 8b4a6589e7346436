#include "lang/ModeTexts.h"

#include "lang/MessageTable.h"

namespace vmx::lang {

namespace {
const MessageEntry kModeTexts[kModeTextCount] = {
    /*  0 */ {"Mode wechseln", "Change Mode"},
    /*  1 */ {"OK", "OK"},
    /*  2 */ {"Passwort bestätigen", "Confirmataion of Password"},
    /*  3 */ {"ABBRUCH", "CANCEL"},
    /*  4 */ {"abbrechen und Fenster schließen", "Cancelling and close"},
    /*  5 */ {"Zum Wechsel des Mode -> Passwort eingeben:", "Enter Password to change Mode"},
    /*  6 */ {"Sorry, das Passwort ist nicht richtig!", "Sorry, Password does not fit, try it again!"},
    /*  7 */ {"Gewählter Mode: ", "Selected Mode: "},
    /*  8 */ {"Standard", "Standard"},
    /*  9 */ {"Service", "Service"},
    /* 10 */ {"Hersteller (Manufacturer)", "Manufacturer"},
};
} // namespace

QString ModeText(int index, int language)
{
    if (index < 0 || index >= kModeTextCount) return {};
    return QString::fromUtf8(language == 1 ? kModeTexts[index].en : kModeTexts[index].de);
}

} // namespace vmx::lang
