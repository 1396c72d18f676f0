#pragma once
// The checks of the PID settings editor. Each loop has a rule set: rows in a
// fixed order, each reading one box (or the manual slider, or a check box),
// checking it against inclusive single-precision bounds and, when it passes,
// storing it into the loop at once. The first row that fails (or whose box
// does not read as a number) ends the check; what the rows before it stored
// stays stored.

#include <QString>

#include <optional>

#include "pid/PidEditorModel.h"
#include "pid/clsPID.h"

namespace tuvik {

struct ValidationOutcome {
    bool ok = true;
    // The message box text when the check failed: " Error on PID setting: ",
    // the conversion error's description (empty for a failed condition), CR
    // LF, and the failed row's message.
    QString messageText;
    // The boxes as the editor shows them afterwards ("." as decimal point).
    PidBoxTexts boxes;

    // "OK" or "Error".
    QString result() const { return ok ? QStringLiteral("OK") : QStringLiteral("Error"); }
};

// Checks the editor values with the rule set of listIndex (0: the lambda
// loop's rules, 1 to 3: the other loops'), storing accepted values into
// loop. A listIndex outside 0..3 checks and stores nothing and passes.
ValidationOutcome ValidateSettings(clsPID* loop, int listIndex, const PidEditorValues& values);

// A box text (in the "." form) as the single it stands for under the user's
// locale; on failure the description says why ("Type mismatch", "Overflow").
std::optional<float> BoxToSingle(const QString& boxText, QString* whyNot = nullptr);
// A box text as an unsigned byte: the number rounded (halves to even); a
// value outside 0..255 is "Overflow", a text that is no number "Type mismatch".
std::optional<uint8_t> BoxToByte(const QString& boxText, QString* whyNot = nullptr);

}  // namespace tuvik
