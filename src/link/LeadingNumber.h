#pragma once
// Reading the connection texts (speed, refresh period) the lenient way the
// operator is used to: blanks are skipped, the number the text starts with is
// taken, and a text without one gives 0.

#include <QString>

namespace tuvik {

// Optional sign, digits with an optional "." and an optional exponent (E or D).
double LeadingNumber(const QString& text);

// LeadingNumber rounded to a whole number (a half goes to the even
// neighbour), kept within the int range.
int LeadingWholeNumber(const QString& text);

}  // namespace tuvik
