#pragma once
// The burner window's parameter-set column: the 19 boxes of the main
// parameter set, "Get values", "Send Values" (read, backup, upload,
// read-back) with its progress bar, and "Load backup". A box that differs
// from the burner's value is marked.

#include <QGroupBox>
#include <QStringList>

#include <array>
#include <cstdint>
#include <span>

#include "burner/BurnerSafeWrite.h"
#include "burner/ParamSetEdits.h"
#include "burner/ParamSetUpload.h"
#include "support/UserDialogs.h"

class QLineEdit;
class QProgressBar;
class QPushButton;

namespace tuvik {

class BurnerModel;

class ParamSetPanel : public QGroupBox {
    Q_OBJECT
  public:
    ParamSetPanel(BurnerModel& model, UserDialogs& dialogs, QWidget* parent = nullptr);

    QStringList BoxTexts() const;
    // The boxes and the values they are marked against, as a replay found
    // them and as they are put back when it stops.
    struct Shown {
        QStringList boxes;
        ParamSetEdits::LastRead read;
    };
    Shown shown() const;
    void Show(const Shown& shown);

    ParamSetUpload& upload() { return upload_; }
    ParamSetSafeSend& safeSend() { return safeSend_; }

  private:
    void Tell(const QString& text, UserDialogs::Icon icon);
    // A parameter set no read waited for.
    void ParamSetReceived(std::span<const uint8_t> data);
    void SendValues();
    void UploadFinished(const std::optional<QStringList>& deviceTexts);
    void UpdateMarks();
    void LoadBackup();

    BurnerModel& model_;
    ParamSetEdits& edits_;
    UserDialogs& dialogs_;
    ParamSetUpload upload_;
    ParamSetSafeSend safeSend_;

    std::array<QLineEdit*, kParamBoxCount> txtFlamoraParams_{};
    QPushButton* btnGetvalues_ = nullptr;
    QPushButton* btnSendValues_ = nullptr;
    QProgressBar* prgUpload_ = nullptr;
};

}  // namespace tuvik
