#include "burner/ui/SingleParamPanel.h"

#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "burner/BurnerModel.h"
#include "burner/ParamTable.h"
#include "burner/SingleParam.h"
#include "burner/ui/frmLocalise.h"
#include "link/DeviceLink.h"
#include "support/ExchangeGuard.h"
#include "support/MessageLog.h"
#include "support/ui/Controls.h"

namespace tuvik {

SingleParamPanel::SingleParamPanel(const BurnerScope& scope, UserDialogs& dialogs, QWidget* parent)
    : QGroupBox(parent), scope_(scope), dialogs_(dialogs) {
    auto* grid = new QGridLayout(this);
    ComboParameters_ = Named(new QComboBox, "ComboParameters");
    ComboParameters_->setEditable(true);
    ComboParameters_->setInsertPolicy(QComboBox::NoInsert);
    ComboParameters_->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    ComboParameters_->setMinimumContentsLength(28);
    ComboParameters_->setEditText(QStringLiteral("Combo1"));
    grid->addWidget(ComboParameters_, 0, 0, 1, 2);

    auto* addressCaption = Named(new QLabel(QStringLiteral("Osoite")), "Label4");
    SetTag(addressCaption, QStringLiteral("10151"));
    txtOso_ = Named(new QLineEdit, "txtOso");
    auto* valueCaption = Named(new QLabel(QStringLiteral("Arvo")), "Label11");
    SetTag(valueCaption, QStringLiteral("10152"));
    txtValue_ = Named(new QLineEdit, "txtValue");
    grid->addWidget(addressCaption, 1, 0);
    grid->addWidget(txtOso_, 1, 1);
    grid->addWidget(valueCaption, 2, 0);
    grid->addWidget(txtValue_, 2, 1);

    const struct {
        const char* name;
        const char* text;
        Action action;
    } buttons[] = {{"btnRead", "Read", Action::Read},
                   {"btnRead16Bit", "Read 16bit", Action::Read16},
                   {"btnWrite", "Write", Action::Write},
                   {"btnWrite16bit", "Write 16bit", Action::Write16}};
    for (int i = 0; i < 4; ++i) {
        auto* b = Named(new QPushButton(QString::fromLatin1(buttons[i].text)), buttons[i].name);
        grid->addWidget(b, 3 + i / 2, i % 2);
        connect(b, &QPushButton::clicked, this, [this, a = buttons[i].action] { Run(a); });
    }
    // Without the burner firmware's PARAMS.h the list stays empty; say why.
    lblParamsMissing_ = Named(new QLabel, "lblParamsMissing");
    lblParamsMissing_->setWordWrap(true);
    lblParamsMissing_->setMaximumWidth(320);
    lblParamsMissing_->hide();
    grid->addWidget(lblParamsMissing_, 5, 0, 1, 2);
    grid->setRowStretch(6, 1);

    // A pick from the list, and every edit of its text, fill the address box.
    connect(ComboParameters_, &QComboBox::currentIndexChanged, this,
            &SingleParamPanel::ComboToAddress);
    connect(ComboParameters_, &QComboBox::activated, this, &SingleParamPanel::ComboToAddress);
    connect(ComboParameters_, &QComboBox::editTextChanged, this, &SingleParamPanel::ComboToAddress);

    connect(&single_, &SingleSafeWrite::mismatch, this, [this](const QString& text) {
        dialogs_.Message(SafeWriteText::MismatchTitle(), text, UserDialogs::Icon::Warning);
    });
    connect(&single_, &SingleSafeWrite::failed, this, [this](const QString& text) {
        dialogs_.Message(window()->windowTitle(), text, UserDialogs::Icon::Warning);
    });
    connect(&single_, &SingleSafeWrite::logLine, &scope_.model.log(), &MessageLog::AddMessage);
    scope_.model.setValueRead(&single_.reader());
    connect(&scope_.model, &BurnerModel::valueShown, this,
            [this](int32_t value) { SetValueText(QString::number(value)); });
}

void SingleParamPanel::ComboToAddress() {
    txtOso_->setText(AddressFromComboText(ComboParameters_->currentText()));
}

void SingleParamPanel::Run(Action action) {
    DeviceLink* link = scope_.model.link();
    std::optional<QString> error;
    if (const QString why = ExchangeGuard::SendingRefused(); !why.isEmpty()) {
        error = why;
    } else if (!link) {
        error = NotSentMessage();
    } else if (action == Action::Read) {
        error = ReadParam(*link, txtOso_->text());
    } else if (action == Action::Read16) {
        error = ReadParam16(*link, txtOso_->text());
    } else {
        // The old value is read first and the written one read back.
        error = single_.start(link, txtOso_->text(), txtValue_->text(), action == Action::Write16);
    }
    if (error) {
        dialogs_.Message(window()->windowTitle(), *error, UserDialogs::Icon::Warning);
    }
}

void SingleParamPanel::FillParameterList() {
    const QSignalBlocker quiet(ComboParameters_);
    ComboParameters_->clear();
    const QStringList items = ReadParameterListItems(scope_.paramsHeaderPath());
    ComboParameters_->addItems(items);
    const QString missing = scope_.paramsHeaderMissing();
    lblParamsMissing_->setText(missing);
    lblParamsMissing_->setVisible(!missing.isEmpty());
    if (!items.isEmpty()) {
        ComboParameters_->setCurrentIndex(0);
        ComboToAddress();
    }
}

void SingleParamPanel::SetValueText(const QString& text) {
    txtValue_->setText(text);
}

QString SingleParamPanel::valueText() const {
    return txtValue_->text();
}

}  // namespace tuvik
