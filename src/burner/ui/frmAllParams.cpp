#include "burner/ui/frmAllParams.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTableView>
#include <QVBoxLayout>

#include "burner/ui/frmLocalise.h"
#include "link/DeviceLink.h"
#include "support/ExchangeGuard.h"
#include "support/MessageLog.h"

namespace tuvik {

const QString frmAllParams::kConfirmText =
    QStringLiteral("Haluatko varmasti lähettää arvoja polttimeen?");
const QString frmAllParams::kConfirmTitle = QStringLiteral("Varoitus");
const QString frmAllParams::kParFilter = QStringLiteral("All Files (*.par)");

namespace {

QPushButton* Button(QWidget* parent, const char* name, const QString& text, const char* tag) {
    auto* b = new QPushButton(text, parent);
    b->setObjectName(QString::fromLatin1(name));
    SetTag(b, QString::fromLatin1(tag));
    return b;
}

}  // namespace

frmAllParams::frmAllParams(const BurnerScope& scope, UserDialogs* dialogs, QWidget* parent)
    : QWidget(parent, Qt::Window),
      burner_(scope.model),
      params_(scope.params),
      dialogs_(dialogs ? *dialogs : DefaultDialogs()),
      model_(scope.model.grid()),
      safeSend_(model_, scope.model.dailyDir()) {
    setObjectName(QStringLiteral("frmAllParams"));
    setWindowTitle(QStringLiteral("All Parameters"));

    toolbar_ = new QWidget(this);
    toolbar_->setObjectName(QStringLiteral("Frame2"));
    // Designed in Finnish; the string table gives the interface language's text.
    btnRead = Button(toolbar_, "btnRead", QStringLiteral("Lue"), "10004");
    sendButton_ = Button(toolbar_, "Command3", QStringLiteral("Lähetä"), "10003");
    saveButton_ = Button(toolbar_, "Command1", QStringLiteral("Tallenna tiedostoon"), "10001");
    loadButton_ = Button(toolbar_, "Command2", QStringLiteral("Lue tiedostosta"), "10002");
    chkAll = new QCheckBox(QStringLiteral("check all"), toolbar_);
    chkAll->setObjectName(QStringLiteral("chkAll"));
    auto* top = new QHBoxLayout(toolbar_);
    top->setContentsMargins(0, 0, 0, 0);
    for (QWidget* w :
         std::initializer_list<QWidget*>{btnRead, sendButton_, saveButton_, loadButton_}) {
        top->addWidget(w);
    }
    top->addSpacing(12);
    top->addWidget(chkAll);
    top->addStretch(1);
    // Narrowing and sorting change the view only: sends and saves still walk
    // every checked row in the file's order.
    txtFilter = new QLineEdit(toolbar_);
    txtFilter->setObjectName(QStringLiteral("txtFilter"));
    txtFilter->setPlaceholderText(QStringLiteral("Filter: name or address"));
    txtFilter->setClearButtonEnabled(true);
    txtFilter->setToolTip(QStringLiteral("Show only the rows whose name or address contains this"));
    txtFilter->setAccessibleName(QStringLiteral("Filter rows"));
    chkChangedOnly = new QCheckBox(QStringLiteral("&changed only"), toolbar_);
    chkChangedOnly->setObjectName(QStringLiteral("chkChangedOnly"));
    chkChangedOnly->setToolTip(QStringLiteral(
        "Show only the rows whose value differs from the one last read from the burner or "
        "loaded from a file"));
    top->addWidget(txtFilter);
    top->addWidget(chkChangedOnly);

    grid_ = new QTableView(this);
    grid_->setObjectName(QStringLiteral("Frame1"));
    grid_->verticalScrollBar()->setObjectName(QStringLiteral("VScroll1"));
    grid_->setModel(&filter_);
    grid_->setSortingEnabled(true);
    grid_->sortByColumn(-1, Qt::AscendingOrder);  // the file's order until a header is clicked
    grid_->setAlternatingRowColors(true);
    grid_->setSelectionMode(QAbstractItemView::SingleSelection);
    grid_->setEditTriggers(QAbstractItemView::AllEditTriggers);
    grid_->setWordWrap(false);
    // Names are padded to 50 characters: eliding would mark every one as cut.
    grid_->setTextElideMode(Qt::ElideNone);
    grid_->verticalHeader()->hide();
    // Fixed sizes: nothing has to look at a thousand rows to lay them out.
    QHeaderView* rows = grid_->verticalHeader();
    rows->setSectionResizeMode(QHeaderView::Fixed);
    rows->setDefaultSectionSize(fontMetrics().height() + 6);
    QHeaderView* cols = grid_->horizontalHeader();
    cols->setSectionResizeMode(QHeaderView::Interactive);
    cols->setStretchLastSection(true);
    const QFontMetrics fm(font());
    grid_->setColumnWidth(AllParamsModel::ColCheck, 28);
    grid_->setColumnWidth(AllParamsModel::ColAddress,
                          fm.horizontalAdvance(QStringLiteral("000000")) + 12);
    grid_->setColumnWidth(AllParamsModel::ColName,
                          fm.horizontalAdvance(QString(32, QLatin1Char('M'))) * 3 / 4);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(toolbar_);
    layout->addWidget(grid_, 1);
    lblStatus = new QLabel(this);
    lblStatus->setObjectName(QStringLiteral("lblStatus"));
    lblStatus->setWordWrap(true);
    layout->addWidget(lblStatus);
    resize(620, 560);

    connect(btnRead, &QPushButton::clicked, this, &frmAllParams::ReadParams);
    connect(sendButton_, &QPushButton::clicked, this, &frmAllParams::SendParams);
    connect(saveButton_, &QPushButton::clicked, this, &frmAllParams::SaveToFile);
    connect(loadButton_, &QPushButton::clicked, this, &frmAllParams::LoadFromFile);
    connect(chkAll, &QCheckBox::clicked, &model_, &AllParamsModel::chkAll);
    connect(txtFilter, &QLineEdit::textChanged, &filter_, &AllParamsFilter::setText);
    connect(chkChangedOnly, &QCheckBox::toggled, &filter_, &AllParamsFilter::setChangedOnly);
    connect(&safeSend_, &AllParamsSafeSend::readyToAsk, this, &frmAllParams::AskAndSend);
    // What is sent stays as asked about: nothing that changes it works during a send.
    connect(&model_, &AllParamsModel::lockedChanged, this, [this](bool locked) {
        for (QWidget* w :
             std::initializer_list<QWidget*>{btnRead, sendButton_, loadButton_, chkAll}) {
            w->setEnabled(!locked);
        }
    });
    connect(&safeSend_, &AllParamsSafeSend::status, lblStatus, &QLabel::setText);
    connect(&safeSend_, &AllParamsSafeSend::logLine, &burner_.log(), &MessageLog::AddMessage);
    connect(&safeSend_, &AllParamsSafeSend::mismatch, this, [this](const QString& text) {
        dialogs_.Message(SafeWriteText::MismatchTitle(), text, UserDialogs::Icon::Warning);
    });

    burner_.setGridRead(&safeSend_.reader());
}

frmAllParams::~frmAllParams() {
    Unload();
}

void frmAllParams::Load() {
    loaded_ = true;
    burner_.setGridOpen(true);
    LocaliseCaptions(this);
    if (!built_) {
        model_.Build(params_);
        built_ = true;
    }
}

void frmAllParams::Unload() {
    loaded_ = false;
    burner_.setGridOpen(false);
}

void frmAllParams::showEvent(QShowEvent* event) {
    if (!loaded_) {
        Load();
    }
    QWidget::showEvent(event);
}

void frmAllParams::closeEvent(QCloseEvent* event) {
    Unload();
    QWidget::closeEvent(event);
}

void frmAllParams::Tell(const QString& text, UserDialogs::Icon icon) {
    dialogs_.Message(windowTitle(), text, icon);
}

namespace {

QString NotConnectedText() {
    return QStringLiteral("Not connected: nothing was sent.");
}

}  // namespace

DeviceLink* frmAllParams::OpenLinkOrTell() {
    if (const QString why = ExchangeGuard::SendingRefused(); !why.isEmpty()) {
        Tell(why, UserDialogs::Icon::Warning);
        return nullptr;
    }
    DeviceLink* link = burner_.link();
    if (!link || !link->PortOpen()) {
        Tell(NotConnectedText(), UserDialogs::Icon::Warning);
        return nullptr;
    }
    return link;
}

void frmAllParams::ReadParams() {
    if (DeviceLink* link = OpenLinkOrTell()) {
        model_.ReadChecked(*link);
    }
}

void frmAllParams::SendParams() {
    // The checked rows are read first; the question follows with the diff.
    if (safeSend_.running()) {
        return;
    }
    if (DeviceLink* link = OpenLinkOrTell()) {
        if (const std::optional<QString> why = safeSend_.ReadBefore(link)) {
            Tell(*why, UserDialogs::Icon::Warning);
        }
    }
}

void frmAllParams::AskAndSend() {
    if (safeSend_.linkLost()) {
        safeSend_.Cancel(NotConnectedText());
        return;
    }
    if (safeSend_.nothingRead() &&
        !dialogs_.AskYesNo(windowTitle(), SafeWriteText::WriteWithoutBackup())) {
        safeSend_.Cancel(NothingSentText());
        return;
    }
    if (!dialogs_.AskYesNo(kConfirmTitle, kConfirmText, safeSend_.Detail())) {
        safeSend_.Cancel();
        return;
    }
    DeviceLink* link = OpenLinkOrTell();
    if (!link) {
        safeSend_.Cancel();
        return;
    }
    const QStringList refused = safeSend_.Write(*link);
    if (refused.isEmpty()) {
        return;
    }
    // The rows that went out are not repeated; the others are listed.
    Tell(QStringLiteral("These parameters were not sent:\n") + refused.join(QLatin1Char('\n')),
         UserDialogs::Icon::Warning);
}

void frmAllParams::SaveToFile() {
    const QString path = dialogs_.SaveFileName(QStringLiteral("Save settings"), kParFilter, true);
    if (path.isEmpty()) {
        Tell(AllParamsModel::kFileNotFoundText, UserDialogs::Icon::None);
        return;
    }
    if (const std::optional<QString> error = model_.SaveParFile(path)) {
        Tell(*error, UserDialogs::Icon::None);
    }
}

void frmAllParams::LoadFromFile() {
    const QString path = dialogs_.OpenFileName(QStringLiteral("Open settings"), kParFilter);
    if (path.isEmpty()) {
        Tell(AllParamsModel::kFileNotFoundText, UserDialogs::Icon::None);
        return;
    }
    QString error;
    model_.LoadParFile(path, &error);
    if (!error.isEmpty()) {
        Tell(error, UserDialogs::Icon::Warning);
    }
}

}  // namespace tuvik
