// A one-hour recording of live values at the link's fastest rate, replayed
// through the real dispatcher and main window: as a seek to its end (the
// screen's repaints held back) and played as fast as possible with the
// window shown and painting. The figure is recorded time over wall time.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QTemporaryDir>

#include "RecordingDialogs.h"
#include "ScratchOptions.h"
#include "SyntheticRecording.h"
#include "shell/Session.h"
#include "shell/ui/frmPID.h"

namespace {

using tuvik::ReplayLink;

void BM_ReplayHour(benchmark::State& state) {
    const bool seek = state.range(0) == 0;
    QTemporaryDir dir;
    tuvik::test::RecordingDialogs dialogs;
    tuvik::Session session(tuvik::AppPaths(dir.path(), dir.path(), {}));
    tuvik::frmPID w(session, tuvik::test::ScratchOptions(dir.path(), &dialogs));
    w.Form_Load();
    w.setVisible(!seek);
    for (auto _ : state) {
        session.replay().Start(std::make_unique<tuvik::sim::SyntheticRecording>(3600LL * 1'000'000),
                               QStringLiteral("hour"));
        ReplayLink* link = session.replay().link();
        if (seek) {
            link->Seek(link->lengthUs());
        } else {
            link->SetSpeed(ReplayLink::kAsFastAsPossible);
        }
        while (!link->ended()) {
            QCoreApplication::processEvents();
        }
        if (link->traffic().replies < 3600 * 430) {
            state.SkipWithError("not every reply was played");
        }
        session.replay().Stop();
    }
}
BENCHMARK(BM_ReplayHour)->Arg(0)->Arg(1)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

}  // namespace
