#pragma once
// The windows the main window keeps for the whole run, and the start-up
// routine that creates them. Main_new runs once, as the last step of the
// main window's start-up: it does the core part (Session::Start: decimal
// separator, parameter table, replies to the dispatcher), points the
// dispatcher at the main window, creates the hidden message log and serial
// link windows, makes the serial link the active link, shows the main
// window, creates the burner window object (when a factory is set) and loads
// the LED pictures.
//
// The main window owns these windows and closes them when the program ends.

#include <QPointer>
#include <QWidget>

#include <functional>
#include <memory>

#include "link/ui/frmClient.h"
#include "link/ui/frmRS232.h"
#include "support/ui/frmMessage.h"

namespace tuvik {

class Session;
class frmPID;

struct ShellWindows {
    std::unique_ptr<frmMessage> message;  // hidden until Command6
    std::unique_ptr<frmRS232> serial;     // always hidden
    std::unique_ptr<frmClient> client;    // a new one at every TCP connect
    QPointer<QWidget> burner;             // created by the burner window factory
    QPointer<QWidget> analog;             // created on first use of bntADinputs
};

void Main_new(Session& session, frmPID& main);

}  // namespace tuvik
