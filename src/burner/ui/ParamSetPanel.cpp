#include "burner/ui/ParamSetPanel.h"

#include <QDir>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>

#include "burner/BurnerModel.h"
#include "burner/SingleParam.h"
#include "link/DeviceLink.h"
#include "support/MessageLog.h"
#include "support/ui/Controls.h"

namespace tuvik {

ParamSetPanel::ParamSetPanel(BurnerModel& model, UserDialogs& dialogs, QWidget* parent)
    : QGroupBox(parent),
      model_(model),
      edits_(model.edits()),
      dialogs_(dialogs),
      upload_(model.answers()),
      safeSend_(upload_, model.dailyDir()) {
    upload_.setClock(edits_.clock());  // the session's clock times the pauses too
    auto* grid = new QGridLayout(this);
    const auto& defs = ParamBoxes();
    for (int i = 0; i < kParamBoxCount; ++i) {
        auto* label = Named(new QLabel(defs[i].label), Indexed("Label1", i));
        QLineEdit* box = Named(new QLineEdit(QString::fromLatin1(kUnreadBoxText)),
                               Indexed("txtFlamoraParams", i));
        box->setToolTip(defs[i].tooltip);
        box->setMaximumWidth(80);
        box->setAlignment(Qt::AlignRight);
        label->setBuddy(box);
        grid->addWidget(label, i, 0);
        grid->addWidget(box, i, 1);
        txtFlamoraParams_[i] = box;
    }
    btnGetvalues_ = Named(new QPushButton(QStringLiteral("Get values")), "btnGetvalues");
    btnSendValues_ = Named(new QPushButton(QStringLiteral("Send Values")), "btnSendValues");
    prgUpload_ = Named(new QProgressBar, "prgUpload");
    prgUpload_->setRange(0, ParamSetUpload::kSteps);
    prgUpload_->setValue(0);
    prgUpload_->setTextVisible(false);
    prgUpload_->setMaximumHeight(10);
    prgUpload_->hide();  // shown while an upload runs
    grid->addWidget(btnGetvalues_, kParamBoxCount, 0);
    grid->addWidget(btnSendValues_, kParamBoxCount, 1);
    grid->addWidget(prgUpload_, kParamBoxCount + 1, 0, 1, 2);
    auto* btnLoadBackup = Named(new QPushButton(QStringLiteral("Load backup")), "btnLoadBackup");
    grid->addWidget(btnLoadBackup, kParamBoxCount + 2, 0, 1, 2);

    connect(btnLoadBackup, &QPushButton::clicked, this, &ParamSetPanel::LoadBackup);
    for (QLineEdit* box : txtFlamoraParams_) {
        connect(box, &QLineEdit::textChanged, this, &ParamSetPanel::UpdateMarks);
    }
    // The operator asked for the device's values: they replace every box.
    connect(btnGetvalues_, &QPushButton::clicked, this, [this] {
        if (const QString why = model_.RequestParamSet(true); !why.isEmpty()) {
            Tell(why, UserDialogs::Icon::Warning);
        }
    });
    connect(btnSendValues_, &QPushButton::clicked, this, &ParamSetPanel::SendValues);

    // The reads around the upload show as a busy bar (range 0..0).
    connect(&safeSend_, &ParamSetSafeSend::progress, this, [this](int done, int total) {
        prgUpload_->setRange(0, total);
        prgUpload_->setValue(done);
    });
    connect(&safeSend_, &ParamSetSafeSend::reported, this, [this](bool ok, const QString& text) {
        Tell(text, ok ? UserDialogs::Icon::None : UserDialogs::Icon::Critical);
    });
    connect(&safeSend_, &ParamSetSafeSend::done, this, &ParamSetPanel::UploadFinished);
    connect(&safeSend_, &ParamSetSafeSend::mismatch, this, [this](const QString& text) {
        dialogs_.Message(SafeWriteText::MismatchTitle(), text, UserDialogs::Icon::Warning);
    });
    connect(&safeSend_, &ParamSetSafeSend::logLine, &model_.log(), &MessageLog::AddMessage);
    model_.setParamSetRead(&safeSend_.reader());
    connect(&model_, &BurnerModel::paramSetShown, this, &ParamSetPanel::ParamSetReceived);
}

void ParamSetPanel::Tell(const QString& text, UserDialogs::Icon icon) {
    dialogs_.Message(window()->windowTitle(), text, icon);
}

ParamSetPanel::Shown ParamSetPanel::shown() const {
    return {BoxTexts(), edits_.lastRead()};
}

QStringList ParamSetPanel::BoxTexts() const {
    QStringList texts;
    for (const QLineEdit* box : txtFlamoraParams_) {
        texts.append(box->text());
    }
    return texts;
}

void ParamSetPanel::Show(const Shown& shown) {
    edits_.setLastRead(shown.read);
    for (int i = 0; i < kParamBoxCount && i < shown.boxes.size(); ++i) {
        txtFlamoraParams_[i]->setText(shown.boxes.at(i));
    }
    UpdateMarks();
}

void ParamSetPanel::ParamSetReceived(std::span<const uint8_t> data) {
    const auto replaced = edits_.Received(data, BoxTexts());
    for (int i = 0; i < kParamBoxCount; ++i) {
        if (const auto& text = replaced[static_cast<size_t>(i)]) {
            txtFlamoraParams_[i]->setText(*text);
        }
    }
    UpdateMarks();
}

void ParamSetPanel::SendValues() {
    QString reason;
    const ParamSetUpload::Start s = safeSend_.start(model_.link(), BoxTexts(), &reason);
    if (s == ParamSetUpload::Start::Refused) {
        Tell(reason, UserDialogs::Icon::Critical);
    } else if (s == ParamSetUpload::Start::Started) {
        btnSendValues_->setEnabled(false);
        btnGetvalues_->setEnabled(false);
        prgUpload_->setRange(0, 0);
        prgUpload_->show();
    }
}

void ParamSetPanel::UploadFinished(const std::optional<QStringList>& deviceTexts) {
    btnSendValues_->setEnabled(true);
    btnGetvalues_->setEnabled(true);
    prgUpload_->hide();
    // What the burner holds now is the device's value the boxes are marked
    // against; the boxes keep what was sent.
    if (deviceTexts) {
        edits_.ReadBack(*deviceTexts);
        UpdateMarks();
    }
}

void ParamSetPanel::UpdateMarks() {
    const auto& defs = ParamBoxes();
    for (int i = 0; i < kParamBoxCount; ++i) {
        QLineEdit* box = txtFlamoraParams_[i];
        ShowEditedMark(box, EditedMark(box->text(), edits_.DeviceText(i)), defs[i].tooltip, false);
    }
}

void ParamSetPanel::LoadBackup() {
    const QString path =
        dialogs_.OpenFileName(QStringLiteral("Open backup"), QStringLiteral("All Files (*.par)"));
    if (path.isEmpty()) {
        return;
    }
    const std::optional<QStringList> texts = LoadParamSetParFile(path, BoxTexts());
    if (!texts) {
        Tell(QStringLiteral("No parameter-set values could be read from ") +
                 QDir::toNativeSeparators(path),
             UserDialogs::Icon::Warning);
        return;
    }
    // Only the boxes change; nothing goes to the burner until it is sent.
    for (int i = 0; i < kParamBoxCount; ++i) {
        txtFlamoraParams_[i]->setText(texts->at(i));
    }
}

}  // namespace tuvik
