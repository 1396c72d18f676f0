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

class Session;

class ParamSetPanel : public QGroupBox {
    Q_OBJECT
  public:
    ParamSetPanel(Session& session, UserDialogs& dialogs, QWidget* parent = nullptr);

    // The parameter-set request. quiet: a request that could not go out is
    // not reported (the load's and the connect's); overwrite: the reply
    // replaces the boxes the operator has edited ("Get values").
    void RequestParamSet(bool quiet, bool overwrite = false);
    // A parameter-set reply: the check of a send takes it, or the boxes do.
    void ParamSetReceived(std::span<const uint8_t> data);
    QStringList BoxTexts() const;
    // The boxes and the values they are marked against, as a replay found
    // them and as they are put back when it stops.
    struct Shown {
        QStringList boxes;
        ParamSetEdits::LastRead read;
    };
    Shown shown() const { return {BoxTexts(), edits_.lastRead()}; }
    void Show(const Shown& shown);

    ParamSetUpload& upload() { return upload_; }
    ParamSetSafeSend& safeSend() { return safeSend_; }
    ParamSetEdits& edits() { return edits_; }

  private:
    void Tell(const QString& text, UserDialogs::Icon icon);
    void SendValues();
    void UploadFinished(const std::optional<QStringList>& deviceTexts);
    void UpdateMarks();
    void LoadBackup();

    Session& session_;
    UserDialogs& dialogs_;
    ParamSetUpload upload_;
    ParamSetSafeSend safeSend_;
    ParamSetEdits edits_;

    std::array<QLineEdit*, kParamBoxCount> txtFlamoraParams_{};
    QPushButton* btnGetvalues_ = nullptr;
    QPushButton* btnSendValues_ = nullptr;
    QProgressBar* prgUpload_ = nullptr;
};

}  // namespace tuvik
