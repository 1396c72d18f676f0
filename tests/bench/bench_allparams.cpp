// Opening the all-parameters window with a full parameter table (1,001
// definitions): construct the window, show it and process events until its
// table has painted.
#include <QCoreApplication>
#include <QEvent>
#include <QFile>
#include <QTableView>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <memory>

#include "burner/ui/frmAllParams.h"
#include "shell/Session.h"

namespace {

class PaintSpy : public QObject {
  public:
    bool painted = false;

  protected:
    bool eventFilter(QObject*, QEvent* e) override {
        if (e->type() == QEvent::Paint) {
            painted = true;
        }
        return false;
    }
};

QByteArray FullHeader() {
    QByteArray text;
    for (int i = 0; i < tuvik::ParamTable::kCapacity; ++i) {
        text += "#define BURNER_PARAMETER_" + QByteArray::number(i) + "\t" +
                QByteArray::number(4 + i) + " // parameter " + QByteArray::number(i) + "\r\n";
    }
    return text;
}

void BM_AllParamsOpen(benchmark::State& state) {
    QTemporaryDir dir;
    QFile header(dir.filePath(QStringLiteral("PARAMS.h")));
    if (!dir.isValid() || !header.open(QIODevice::WriteOnly) || header.write(FullHeader()) < 0) {
        state.SkipWithError("PARAMS.h not written");
        return;
    }
    header.close();
    tuvik::Session session(tuvik::AppPaths(dir.path(), dir.path(), {dir.path()}));
    session.Start();
    if (session.params().size() != tuvik::ParamTable::kCapacity) {
        state.SkipWithError("parameter table not full");
        return;
    }

    for (auto _ : state) {
        auto w = std::make_unique<tuvik::frmAllParams>(session.burnerScope());
        PaintSpy spy;
        w->grid()->viewport()->installEventFilter(&spy);
        w->show();
        for (int i = 0; i < 100000 && !spy.painted; ++i) {
            QCoreApplication::processEvents();
        }
        if (!spy.painted || w->model().rows() != tuvik::ParamTable::kCapacity) {
            state.SkipWithError("the table was not painted with all rows");
            break;
        }
        state.PauseTiming();
        w.reset();
        QCoreApplication::processEvents();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_AllParamsOpen)->Unit(benchmark::kMillisecond);

}  // namespace
