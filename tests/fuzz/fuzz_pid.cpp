// Feeds arbitrary bytes to the *.PID reader and checks what reading must
// keep: a file is either refused with a reason or gives a whole loop, and a
// loop read, written and read again writes the very same bytes.
#include <QByteArray>

#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "FuzzUtil.h"
#include "pid/PidFiles.h"

using tuvik::fuzz::Check;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes = tuvik::fuzz::Bytes(data, size);
    const tuvik::PidFileRead first = tuvik::ParsePidFile(bytes);
    if (!first.loop) {
        Check(!first.error.isEmpty());
        return 0;
    }
    const QByteArray written = tuvik::PidFileBytes(&*first.loop);
    const tuvik::PidFileRead again = tuvik::ParsePidFile(written);
    Check(again.loop.has_value());
    Check(tuvik::PidFileBytes(&*again.loop) == written);
    return 0;
}
