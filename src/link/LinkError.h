#pragma once
// A failure of a port operation, as the user is told about it: a number, the
// description and the object that raised it.

#include <QString>

namespace tuvik {

struct LinkError {
    int number = 0;
    QString description;
    QString source;
};

}  // namespace tuvik
