#pragma once
// The main window's replay controls: "Replay a recording..." (cmdReplay),
// and while a recording plays, its bar: the speed (cboReplaySpeed), pause
// and play (cmdReplayPause), the position (sldReplayPosition, seconds; a
// drag or a click seeks) and stop (cmdReplayStop). The replay itself is the
// session's ReplayController.

#include <QWidget>

class QComboBox;
class QPushButton;
class QSlider;

namespace tuvik {

class Session;
class UserDialogs;

class ReplayPanel : public QWidget {
    Q_OBJECT
  public:
    ReplayPanel(Session& session, UserDialogs& dialogs, QWidget* parent = nullptr);

    // Asks for a recording (in the daily folder's recordings/) and replays it.
    void ChooseRecording();

  private:
    void ReplayingChanged(bool on);
    void ShowPosition(qint64 positionUs);
    void SeekToSlider();

    Session& session_;
    UserDialogs& dialogs_;
    QWidget* bar_;
    QComboBox* speed_;
    QPushButton* pause_;
    QSlider* position_;
};

}  // namespace tuvik
