#pragma once
// Hooks the burner window (with its all-parameters and histogram windows) and
// the analog inputs window onto the main window: the burner window is created
// by Main_new and loaded at every connect, the analog window on first use.

namespace tuvik {

class Session;
class UserDialogs;
class frmPID;

// dialogs: the burner windows' message boxes and file dialogs; nullptr for
// the real ones.
void AttachToolWindows(Session& session, frmPID& main, UserDialogs* dialogs = nullptr);

}  // namespace tuvik
