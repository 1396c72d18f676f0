#include "shell/ui/frmMainNew.h"

#include "burner/BurnerTables.h"
#include "shell/Session.h"
#include "shell/ui/frmPID.h"

namespace tuvik {

void Main_new(Session& session, frmPID& main) {
    ShellWindows& w = main.shell();
    session.Start();
    session.dispatcher().SetMainWindow(&main);

    w.message = std::make_unique<frmMessage>(&session.log());
    w.serial = std::make_unique<frmRS232>(session.ctx());
    session.ctx().setActiveLink(&w.serial->link());

    main.show();

    main.CreateBurnerWindow();
    (void)StateNames();  // the table is built once, here rather than on the first reply
}

}  // namespace tuvik
