#pragma once
// Loop values are kept in the editor and in *.PID files with "." as the
// decimal point, whatever the user's locale writes. These two rules convert
// between that form and the locale's (DecimalSeparator(), "." or ",").

#include <QString>

namespace tuvik {

// Every DecimalSeparator() becomes "."; a text without one is returned as is.
QString ToDot(const QString& text);
// Every "." becomes DecimalSeparator(); a text without one is returned as is.
QString ToDecimalSeparator(const QString& text);

}  // namespace tuvik
