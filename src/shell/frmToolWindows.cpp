#include "shell/frmToolWindows.h"

#include <QPointer>

#include "burner/frmFlamora.h"
#include "shell/Session.h"
#include "shell/frmPID.h"
#include "support/frmADinputs.h"

namespace tuvik {

void AttachToolWindows(Session& session, frmPID& main, UserDialogs* dialogs) {
    auto burner = std::make_shared<QPointer<frmFlamora>>();
    main.setBurnerWindowFactory([&session, &main, burner, dialogs]() -> QWidget* {
        *burner = new frmFlamora(session, dialogs, &main);
        return burner->data();
    });
    main.loadBurnerWindow = [burner] {
        if (*burner) {
            (*burner)->Load();
        }
    };
    main.setAnalogWindowFactory(
        [&session, &main]() -> QWidget* { return new frmADinputs(session, &main); });
}

}  // namespace tuvik
