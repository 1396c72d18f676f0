#pragma once
// The main window's replay controls: "Replay a recording..." (cmdReplay),
// "Recordings..." (cmdRecordings: the recordings window, keep marks and the
// folder's size limit, from which a recording can be replayed too),
// and while a recording plays, its bar: the speed (cboReplaySpeed), pause
// and play (cmdReplayPause), the position (sldReplayPosition, seconds; a
// drag or a click seeks) and stop (cmdReplayStop). The replay itself is the
// session's ReplayController.

#include <QPointer>
#include <QWidget>

class QComboBox;
class QPushButton;
class QSlider;

namespace tuvik {

class RecordingsDialog;
class Session;
class UserDialogs;

class ReplayPanel : public QWidget {
    Q_OBJECT
  public:
    ReplayPanel(Session& session, UserDialogs& dialogs, QWidget* parent = nullptr);

    // Asks for a recording (in the daily folder's recordings/) and replays it.
    void ChooseRecording();
    // Shows the recordings window.
    void ShowRecordings();

  private:
    void Replay(const QString& path);
    void ReplayingChanged(bool on);
    void ShowPosition(qint64 positionUs);
    void SeekToSlider();

    Session& session_;
    UserDialogs& dialogs_;
    QWidget* bar_;
    QComboBox* speed_;
    QPushButton* pause_;
    QSlider* position_;
    QPointer<RecordingsDialog> recordings_;
};

}  // namespace tuvik
