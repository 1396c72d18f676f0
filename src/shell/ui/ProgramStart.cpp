#include "shell/ui/ProgramStart.h"

#include <QPointer>

#include <memory>

#include "burner/BurnerTables.h"
#include "burner/ui/frmFlamora.h"
#include "shell/Session.h"
#include "shell/ui/TrendWindows.h"
#include "shell/ui/frmPID.h"
#include "trend/ui/frmADinputs.h"

namespace tuvik {

// Step 2: the windows the main window makes later, when it needs them.
void AttachToolWindows(Session& session, frmPID& main, UserDialogs* dialogs) {
    WindowRegistry& windows = main.windows();
    auto burner = std::make_shared<QPointer<frmFlamora>>();
    windows.setBurnerWindowFactory([&session, &main, burner, dialogs]() -> QWidget* {
        *burner = new frmFlamora(session.burnerScope(), dialogs, &main);
        return burner->data();
    });
    windows.setBurnerLoader([burner] {
        if (*burner) {
            (*burner)->Load();
        }
    });
    windows.setAnalogWindowFactory(
        [&session, &main]() -> QWidget* { return NewAnalogWindow(session, &main); });
}

// Step 4: the end of Form_Load.
void Main_new(Session& session, frmPID& main) {
    WindowRegistry& windows = main.windows();
    session.Start();
    QObject::connect(&session.dispatcher(), &ReplyDispatcher::captionLine, &main,
                     &frmPID::SetCaption);
    QObject::connect(&session.dispatcher(), &ReplyDispatcher::alarmShown, &main, &frmPID::SetAlarm);

    windows.CreateMessageLog();
    windows.CreateSerialWindow();
    session.ctx().setActiveLink(session.connection().serialLink());

    main.show();

    windows.CreateBurnerWindow();
    (void)StateNames();  // the table is built once, here rather than on the first reply
}

}  // namespace tuvik
