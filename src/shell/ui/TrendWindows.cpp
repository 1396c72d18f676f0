#include "shell/ui/TrendWindows.h"

#include <QSettings>

#include "link/ReplayLink.h"
#include "shell/ConnectionSettings.h"
#include "shell/Session.h"
#include "trend/ui/frmADinputs.h"
#include "trend/ui/frmHistory.h"

namespace tuvik {

frmHistory* NewHistoryWindow(Session& session, QWidget* parent, UserDialogs* dialogs) {
    QStringList loops;
    for (int i = 0; i < PidLoops::kCount; ++i) {
        loops << session.loops()[i].GetDesc();
    }
    HistorySource source{
        .history = session.history(),
        .loopNames = loops,
        .selectedLoop = session.loops().selectedIndex(),
        .livePath = [&session] { return session.paths().HistoryPath(); },
        .replayName = [&session]() -> std::optional<QString> {
            const ReplayLink* replay = session.replay().link();
            return replay ? std::optional(replay->Endpoint()) : std::nullopt;
        },
        .saveRetentionDays =
            [&session](int days) {
                if (const std::unique_ptr<QSettings> store =
                        session.connection().settingsOpener()()) {
                    store->setValue(
                        QStringLiteral("Settings/") + QLatin1String(Session::kHistoryDaysKey),
                        days);
                }
            },
    };
    auto* w = new frmHistory(std::move(source), parent, dialogs);
    QObject::connect(&session.replay(), &ReplayController::replayingChanged, w, &frmHistory::Show);
    return w;
}

frmADinputs* NewAnalogWindow(Session& session, QWidget* parent) {
    return new frmADinputs(
        AnalogWindowInputs{
            .activeLink = [&ctx = session.ctx()] { return ctx.activeLink(); },
            .inputs0to3 = session.state().AnalogTrend1,
            .inputs4to7 = session.state().AnalogTrend2,
            .refreshText = [&session] { return session.connection().texts().refresh; },
        },
        parent);
}

}  // namespace tuvik
