#pragma once
// The all-parameters window: every parameter of PARAMS.h as a row with a
// check box, the address, the name and a value box. The checked rows can be
// read from the burner and written back after a confirmation; the grid can be
// saved to and filled from *.par files. A table view over a model, so that a
// thousand rows open at once.

#include <QWidget>

#include "burner/AllParamsFilter.h"
#include "burner/AllParamsModel.h"
#include "burner/BurnerModel.h"
#include "burner/BurnerSafeWrite.h"
#include "support/ui/StandardDialogsWidget.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableView;

namespace tuvik {

class frmAllParams : public QWidget {
    Q_OBJECT
  public:
    static const QString kConfirmText;   // "Haluatko varmasti lähettää arvoja polttimeen?"
    static const QString kConfirmTitle;  // "Varoitus"
    static const QString kParFilter;     // "All Files (*.par)"

    // Shows the burner model's grid; the rows are built on Load (the first
    // show). dialogs: nullptr for the real boxes and file dialogs.
    explicit frmAllParams(const BurnerScope& scope, UserDialogs* dialogs = nullptr,
                          QWidget* parent = nullptr);
    ~frmAllParams() override;

    // The load handling: the grid open for byte-read replies, captions in
    // the interface language, the rows from the parameter table (once per
    // window; what the boxes hold survives a close).
    void Load();
    // Closed: byte-read replies no longer reach the grid.
    void Unload();

    AllParamsModel& model() { return model_; }
    AllParamsSafeSend& safeSend() { return safeSend_; }
    QTableView* grid() const { return grid_; }

    // The buttons' actions, for the buttons and for tests.
    void ReadParams();    // btnRead
    void SendParams();    // Command3
    void SaveToFile();    // Command1
    void LoadFromFile();  // Command2

  protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

  private:
    DeviceLink* OpenLinkOrTell();
    void Tell(const QString& text, UserDialogs::Icon icon);
    void AskAndSend();

    BurnerModel& burner_;
    const ParamTable& params_;
    UserDialogs& dialogs_;
    AllParamsModel& model_;
    AllParamsFilter filter_{model_};
    AllParamsSafeSend safeSend_;
    bool built_ = false;
    bool loaded_ = false;

    QWidget* toolbar_ = nullptr;
    QPushButton* btnRead = nullptr;
    QPushButton* sendButton_ = nullptr;
    QPushButton* saveButton_ = nullptr;
    QPushButton* loadButton_ = nullptr;
    QCheckBox* chkAll = nullptr;
    QTableView* grid_ = nullptr;
    QLabel* lblStatus = nullptr;  // the reads around a send and their verdict
    QLineEdit* txtFilter = nullptr;
    QCheckBox* chkChangedOnly = nullptr;
};

}  // namespace tuvik
