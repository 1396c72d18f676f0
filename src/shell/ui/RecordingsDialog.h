#pragma once
// The recordings folder for the operator: each recording with its start,
// size and "keep" mark, the folder's size limit, and a choice of a
// recording to open (from the list, or any file through "Browse...").
// Opening only reports the path (recordingChosen); the caller replays it.

#include <QDialog>

class QSpinBox;
class QTableWidget;

namespace tuvik {

class SessionRecorder;
class UserDialogs;

class RecordingsDialog : public QDialog {
    Q_OBJECT
  public:
    RecordingsDialog(SessionRecorder& recorder, UserDialogs& dialogs, QWidget* parent = nullptr);

    // Reads the folder again.
    void Refresh();

  signals:
    void recordingChosen(const QString& path);

  private:
    void Choose(const QString& path);
    void KeepToggled(int row);
    // The limit is applied once typed, after a question when it removes
    // recordings.
    void LimitEdited();

    SessionRecorder& recorder_;
    UserDialogs& dialogs_;
    QTableWidget* table_;
    QSpinBox* limit_;
    bool filling_ = false;
    bool asking_ = false;  // the question's box takes the focus: one question
};

}  // namespace tuvik
