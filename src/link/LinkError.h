#pragma once
// A failure of a port operation, as the user is told about it.

#include <QString>

namespace tuvik {

struct LinkError {
    QString description;
};

}  // namespace tuvik
