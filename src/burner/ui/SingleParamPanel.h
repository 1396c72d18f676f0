#pragma once
// The burner window's single-parameter column: a parameter picked from the
// PARAMS.h list (or its address typed), read or written as a byte or a word;
// writes read the old value first and read the new one back.

#include <QGroupBox>

#include "burner/BurnerSafeWrite.h"
#include "support/UserDialogs.h"

class QComboBox;
class QLabel;
class QLineEdit;

namespace tuvik {

struct BurnerScope;

class SingleParamPanel : public QGroupBox {
    Q_OBJECT
  public:
    SingleParamPanel(const BurnerScope& scope, UserDialogs& dialogs, QWidget* parent = nullptr);

    // The list from PARAMS.h, or why it is empty.
    void FillParameterList();
    // The value box txtValue.
    void SetValueText(const QString& text);
    QString valueText() const;

    SingleSafeWrite& singleWrite() { return single_; }

  private:
    enum class Action { Read, Read16, Write, Write16 };
    void Run(Action action);
    void ComboToAddress();

    const BurnerScope& scope_;
    UserDialogs& dialogs_;
    SingleSafeWrite single_;

    QComboBox* ComboParameters_ = nullptr;
    QLineEdit* txtOso_ = nullptr;
    QLineEdit* txtValue_ = nullptr;
    QLabel* lblParamsMissing_ = nullptr;
};

}  // namespace tuvik
