#pragma once
// The program's start, in the order it happens (ProgramStart.cpp reads the
// same way):
//
//   1. main() makes the Session and the main window frmPID.
//   2. AttachToolWindows tells the main window's window registry how to make
//      the burner window (with its all-parameters and histogram windows) and
//      the analog inputs window, and what loading the burner window means.
//   3. frmPID::Form_Load builds the loops, the chart and the connection
//      boxes, and ends with Main_new.
//   4. Main_new does the core start-up (Session::Start: decimal separator,
//      parameter table, replies to the dispatcher), points the dispatcher at
//      the main window, makes the hidden message log and serial link
//      windows, makes the serial link the active link, shows the main
//      window, makes the burner window object and builds the state names.

namespace tuvik {

class Session;
class UserDialogs;
class frmPID;

// dialogs: the burner windows' message boxes and file dialogs; nullptr for
// the real ones.
void AttachToolWindows(Session& session, frmPID& main, UserDialogs* dialogs = nullptr);

// Runs once, as the last step of the main window's Form_Load.
void Main_new(Session& session, frmPID& main);

}  // namespace tuvik
