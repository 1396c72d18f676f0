// Feeds arbitrary bytes to the step test reader and the fit behind it: a file
// is either refused with a reason or read, written and read again to the
// same text; a fit of it gives finite figures or says why not.
#include <cmath>

#include "FuzzUtil.h"
#include "pid/FopdtFit.h"

using tuvik::fuzz::Check;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    QString error;
    const auto first =
        tuvik::StepRecordFromCsv(QString::fromUtf8(tuvik::fuzz::Bytes(data, size)), &error);
    Check(first.has_value() != !error.isEmpty());
    if (first) {
        const QString written = tuvik::StepRecordToCsv(*first);
        const auto again = tuvik::StepRecordFromCsv(written, &error);
        Check(again && tuvik::StepRecordToCsv(*again) == written);
        const tuvik::FopdtFit fit = tuvik::FitFopdt(*first);
        Check(fit.ok ? std::isfinite(fit.model.gain) && fit.model.timeConstant > 0 &&
                           fit.model.deadTime >= 0 && fit.explained >= 0.8
                     : !fit.refusal.isEmpty());
    }
    return 0;
}
