#pragma once
// The burner window: live measurements, actuator LEDs, program state and
// usage counters while the link is connected, the burner's identification in
// the title, measurement logging to daily files, the single-parameter panel
// and the parameter-set panel. It opens the all-parameters and the histogram
// windows. One object lives for the whole run; the reply dispatcher writes
// into it whether it is shown or not.

#include <QHash>
#include <QPointer>
#include <QStringList>
#include <QTimer>
#include <QWidget>

#include <array>

#include "burner/BurnerPolling.h"
#include "burner/BurnerSafeWrite.h"
#include "burner/MeasLog.h"
#include "burner/ParamSet.h"
#include "burner/ParamSetUpload.h"
#include "shell/DispatchTargets.h"
#include "support/ui/LedWidget.h"
#include "support/ui/StandardDialogsWidget.h"
#include "support/MessageLog.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QScrollArea;

namespace tuvik {

class Session;
class frmAllParams;
class frmExtra;

class frmFlamora : public QWidget, public BurnerWindowTarget, public BurnerLabelSource {
    Q_OBJECT
  public:
    static const QString kDesignTitle;  // "Emberkin FlamoraBurner parameters"
    static constexpr int kLedCount = 12;
    static constexpr int kUsageCount = BurnerUsageTimes::kCounters;

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

    // BurnerLabelSource: the readings the message log writes with each line.
    QString TgasText() const override;
    QString TwaterText() const override;
    QString IRsigText() const override;
    QString VFDText() const override;

    // Appends the buffered measurement rows to the day's file.
    bool SaveMeasToFile();
    void FillParameterList();

    // The secondary windows, created on first use.
    frmAllParams* allParams();
    frmExtra* extras() { return extras_; }

    // Reachable so that tests and the main window can shorten or read them.
    QTimer& Timer1() { return timer1_; }
    // How long a "Get values" request may overwrite edited boxes.
    QTimer& overwriteWait() { return overwriteWait_; }
    MeasLog& measLog() { return measLog_; }
    ParamSetUpload& paramSetUpload() { return upload_; }
    ParamSetSafeSend& safeSend() { return safeSend_; }
    SingleSafeWrite& singleWrite() { return single_; }
    const BurnerPolling& polling() const { return polling_; }
    QStringList ParamBoxTexts() const;

  protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

  private:
    QWidget* BuildMeasurements();
    QWidget* BuildParamSet();
    QWidget* BuildSingleParam();
    QLabel* AddLabel(const QString& name, const QString& text);
    QPushButton* AddButton(const QString& name, const QString& text);
    DeviceLink* OpenLink();
    void Tell(const QString& text, UserDialogs::Icon icon);

    void OnTimer1();
    void RequestParamSet(bool quiet, bool overwrite = false);
    void ForgetOverwrite();
    void SendCommand(uint8_t command);
    void SendValues();
    void UploadFinished(const std::optional<QStringList>& deviceTexts);
    void UpdateMarks();
    void LoadBackup();
    void ShowMismatch(const QString& text);
    void ComboToAddress();
    void SingleParamAction(int which);

    Session& session_;
    UserDialogs& dialogs_;
    LedPictures leds_;
    QTimer timer1_;
    BurnerPolling polling_;
    MeasLog measLog_;
    ParamSetUpload upload_;
    ParamSetSafeSend safeSend_;
    SingleSafeWrite single_;
    bool loaded_ = false;
    // The box texts of the last parameter-set read ("0" before any), and
    // whether the next reply replaces boxes the operator has edited since.
    QStringList lastRead_ = QStringList(kParamBoxCount, QString::fromLatin1(kUnreadBoxText));
    bool overwriteEdits_ = false;
    QTimer overwriteWait_;
    bool deviceRead_ = false;  // lastRead_ holds a read, not the start-up zeros

    QScrollArea* VScroll1 = nullptr;
    QWidget* Frame1 = nullptr;
    QHash<QString, QLabel*> values_;  // lblTgas ... lblProgState by name
    std::array<LedWidget*, kLedCount> imgDev{};
    std::array<QLabel*, kLedCount> Label9{};
    std::array<QLabel*, kUsageCount> Label10{};
    std::array<QLabel*, kUsageCount> lblUsageTime{};
    QCheckBox* CheckSaveMeas = nullptr;
    std::array<QLineEdit*, kParamBoxCount> txtFlamoraParams{};
    QPushButton* btnGetvalues = nullptr;
    QPushButton* btnSendValues = nullptr;
    QProgressBar* prgUpload = nullptr;
    QComboBox* ComboParameters = nullptr;
    QLineEdit* txtOso = nullptr;
    QLineEdit* txtValue = nullptr;
    QLabel* lblParamsMissing = nullptr;

    QPointer<frmAllParams> allParams_;
    frmExtra* extras_ = nullptr;
};

}  // namespace tuvik
