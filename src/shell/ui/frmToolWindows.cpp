#include "shell/ui/frmToolWindows.h"

#include <QPointer>

#include "burner/ui/frmFlamora.h"
#include "shell/Session.h"
#include "shell/ui/frmPID.h"
#include "trend/ui/frmADinputs.h"

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
