#pragma once
// The burner window: the measurements column, the parameter-set column and
// the single-parameter column side by side in a scrolling area; the polling
// while the link is connected, the burner's identification in the title and
// the measurement file. It opens the all-parameters and the histogram
// windows. One object lives for the whole run; the reply dispatcher writes
// into it whether it is shown or not.

#include <QPointer>
#include <QStringList>
#include <QTimer>
#include <QWidget>

#include <optional>

#include "burner/BurnerMeasurements.h"
#include "burner/BurnerPolling.h"
#include "burner/MeasLog.h"
#include "burner/ui/MeasurementsPanel.h"
#include "burner/ui/ParamSetPanel.h"
#include "burner/ui/SingleParamPanel.h"
#include "shell/DispatchTargets.h"
#include "support/ui/StandardDialogsWidget.h"

class QScrollArea;

namespace tuvik {

class Session;
class frmAllParams;
class frmExtra;

class frmFlamora : public QWidget, public BurnerWindowTarget {
    Q_OBJECT
  public:
    static const QString kDesignTitle;  // "Emberkin FlamoraBurner parameters"
    static constexpr int kUsageCount = MeasurementsPanel::kUsageCount;

    // Hooks itself onto the session's dispatcher and message log. Nothing is
    // sent before Load. dialogs: nullptr for the real message boxes.
    explicit frmFlamora(Session& session, UserDialogs* dialogs = nullptr,
                        QWidget* parent = nullptr);
    ~frmFlamora() override;

    // The load handling (on connect, or on the first show): captions in the
    // interface language, the parameter-set request, the parameter list from
    // PARAMS.h, and the polling timer from pollCount 15.
    void Load();
    bool isLoaded() const { return loaded_; }
    // The end of the program: buffered measurement rows are written, the
    // polling stops, the secondary windows close.
    void Unload();

    // BurnerWindowTarget
    void ShowMeasurements(const BurnerMeasurements& m) override;
    void ShowUsageTimes(const BurnerUsageTimes& u) override;
    void MeasuresUpdated() override;
    void ParamSetReceived(std::span<const uint8_t> data) override;
    void SetValueText(const QString& text) override;
    void ValueRead(int32_t value, int32_t address, bool word) override;

    // The secondary windows, created on first use.
    frmAllParams* allParams();
    frmExtra* extras() { return extras_; }

    // Reachable so that tests can shorten or read them.
    QTimer& pollTimer() { return pollTimer_; }
    QTimer& overwriteWait() { return paramSet_->edits().overwriteWait(); }
    MeasLog& measLog() { return measLog_; }
    ParamSetUpload& paramSetUpload() { return paramSet_->upload(); }
    ParamSetSafeSend& safeSend() { return paramSet_->safeSend(); }
    SingleSafeWrite& singleWrite() { return singleParam_->singleWrite(); }
    const BurnerPolling& polling() const { return polling_; }
    QStringList ParamBoxTexts() const { return paramSet_->BoxTexts(); }

  protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

  private:
    void Poll();
    void SendCommand(uint8_t command);
    // A replay starts (the live boxes are kept aside, the measurement file
    // held) or stops (they are put back).
    void ReplayingChanged(bool on);
    void ShowWindow(QWidget* w);

    Session& session_;
    UserDialogs& dialogs_;
    QTimer pollTimer_;
    BurnerPolling polling_;
    MeasLog measLog_;
    // Every field as the last reply that held it left it.
    BurnerMeasurements readings_;
    bool loaded_ = false;

    MeasurementsPanel* measurements_ = nullptr;
    ParamSetPanel* paramSet_ = nullptr;
    SingleParamPanel* singleParam_ = nullptr;
    QPointer<frmAllParams> allParams_;
    // What the boxes showed when a replay started.
    struct Live {
        QString title;
        BurnerMeasurements readings;
        MeasurementsPanel::UsageTexts usage;
        ParamSetPanel::Shown paramSet;
        QString value;
    };
    std::optional<Live> live_;
    frmExtra* extras_ = nullptr;
};

}  // namespace tuvik
