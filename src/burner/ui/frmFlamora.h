#pragma once
// The burner window: the measurements column, the parameter-set column and
// the single-parameter column side by side in a scrolling area, showing the
// burner model; the burner's identification in the title. It opens the
// all-parameters and the histogram windows. The polling, the measurement
// file and the replies live in the model and go on without the window.

#include <QPointer>
#include <QStringList>
#include <QWidget>

#include <optional>

#include "burner/BurnerModel.h"
#include "burner/ui/MeasurementsPanel.h"
#include "burner/ui/ParamSetPanel.h"
#include "burner/ui/SingleParamPanel.h"
#include "support/ui/StandardDialogsWidget.h"

class QScrollArea;

namespace tuvik {

class frmAllParams;
class frmExtra;

class frmFlamora : public QWidget {
    Q_OBJECT
  public:
    static const QString kDesignTitle;  // "Emberkin FlamoraBurner parameters"

    // Shows the scope's model. Nothing is sent before Load. dialogs: nullptr
    // for the real message boxes.
    explicit frmFlamora(const BurnerScope& scope, UserDialogs* dialogs = nullptr,
                        QWidget* parent = nullptr);
    ~frmFlamora() override;

    // The load handling (on connect, or on the first show): the model's load,
    // captions in the interface language and the parameter list from PARAMS.h.
    void Load();
    // Seam: tests see that a connect loaded the window, which changes nothing it shows.
    bool isLoaded() const { return loaded_; }

    // The secondary windows, created on first use.
    frmAllParams* allParams();
    // Seam: tests see that the extras button shows the window it made.
    frmExtra* extras() { return extras_; }

    BurnerModel& model() { return model_; }
    // Seam: tests shorten the pause between the upload's writes, which the device needs.
    ParamSetUpload& paramSetUpload() { return paramSet_->upload(); }
    // Seam: tests shorten the reads' wait for a burner that does not answer, and see a send end.
    ParamSetSafeSend& safeSend() { return paramSet_->safeSend(); }
    SingleSafeWrite& singleWrite() { return singleParam_->singleWrite(); }
    // Seam: tests read the 19 boxes as one list rather than each by its name.
    QStringList ParamBoxTexts() const { return paramSet_->BoxTexts(); }

  protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

  private:
    void SendCommand(uint8_t command);
    void ShowIdentity();
    void ShowUsage();
    // A replay starts (the boxes are kept aside) or stops (they are put back).
    void ReplayingChanged(bool on);
    void ShowWindow(QWidget* w);

    BurnerScope scope_;
    BurnerModel& model_;
    UserDialogs& dialogs_;
    bool loaded_ = false;
    // The title before the burner identified itself.
    QString untitled_;

    MeasurementsPanel* measurements_ = nullptr;
    ParamSetPanel* paramSet_ = nullptr;
    SingleParamPanel* singleParam_ = nullptr;
    QPointer<frmAllParams> allParams_;
    // What the boxes showed when a replay started.
    struct Live {
        ParamSetPanel::Shown paramSet;
        QString value;
    };
    std::optional<Live> live_;
    frmExtra* extras_ = nullptr;
};

}  // namespace tuvik
