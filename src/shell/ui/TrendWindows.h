#pragma once
// The trend windows made for a session: each is given what it shows.

class QWidget;

namespace tuvik {

class Session;
class UserDialogs;
class frmADinputs;
class frmHistory;

// Follows the replays: one starting or ending changes the history shown.
frmHistory* NewHistoryWindow(Session& session, QWidget* parent = nullptr,
                             UserDialogs* dialogs = nullptr);
frmADinputs* NewAnalogWindow(Session& session, QWidget* parent = nullptr);

}  // namespace tuvik
