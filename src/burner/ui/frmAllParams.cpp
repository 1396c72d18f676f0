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
#include "shell/Session.h"

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

frmAllParams::frmAllParams(Session& session, UserDialogs* dialogs, QWidget* parent)
    : QWidget(parent, Qt::Window),
      session_(session),
      dialogs_(dialogs ? *dialogs : DefaultDialogs()),
      safeSend_(model_, session.paths().DailyDir()) {
    setObjectName(QStringLiteral("frmAllParams"));
    setWindowTitle(QStringLiteral("All Parameters"));

    Frame2 = new QWidget(this);
    Frame2->setObjectName(QStringLiteral("Frame2"));
    // Designed in Finnish; the string table gives the interface language's text.
    btnRead = Button(Frame2, "btnRead", QStringLiteral("Lue"), "10004");
    Command3 = Button(Frame2, "Command3", QStringLiteral("Lähetä"), "10003");
    Command1 = Button(Frame2, "Command1", QStringLiteral("Tallenna tiedostoon"), "10001");
    Command2 = Button(Frame2, "Command2", QStringLiteral("Lue tiedostosta"), "10002");
    chkAll = new QCheckBox(QStringLiteral("check all"), Frame2);
    chkAll->setObjectName(QStringLiteral("chkAll"));
    auto* top = new QHBoxLayout(Frame2);
    top->setContentsMargins(0, 0, 0, 0);
    for (QWidget* w : std::initializer_list<QWidget*>{btnRead, Command3, Command1, Command2}) {
        top->addWidget(w);
    }
    top->addSpacing(12);
    top->addWidget(chkAll);
    top->addStretch(1);
    // Narrowing and sorting change the view only: sends and saves still walk
    // every checked row in the file's order.
    txtFilter = new QLineEdit(Frame2);
    txtFilter->setObjectName(QStringLiteral("txtFilter"));
    txtFilter->setPlaceholderText(QStringLiteral("Filter: name or address"));
    txtFilter->setClearButtonEnabled(true);
    txtFilter->setToolTip(QStringLiteral("Show only the rows whose name or address contains this"));
    txtFilter->setAccessibleName(QStringLiteral("Filter rows"));
    chkChangedOnly = new QCheckBox(QStringLiteral("&changed only"), Frame2);
    chkChangedOnly->setObjectName(QStringLiteral("chkChangedOnly"));
    chkChangedOnly->setToolTip(QStringLiteral(
        "Show only the rows whose value differs from the one last read from the burner or "
        "loaded from a file"));
    top->addWidget(txtFilter);
    top->addWidget(chkChangedOnly);

    Frame1 = new QTableView(this);
    Frame1->setObjectName(QStringLiteral("Frame1"));
    Frame1->verticalScrollBar()->setObjectName(QStringLiteral("VScroll1"));
    Frame1->setModel(&filter_);
    Frame1->setSortingEnabled(true);
    Frame1->sortByColumn(-1, Qt::AscendingOrder);  // the file's order until a header is clicked
    Frame1->setAlternatingRowColors(true);
    Frame1->setSelectionMode(QAbstractItemView::SingleSelection);
    Frame1->setEditTriggers(QAbstractItemView::AllEditTriggers);
    Frame1->setWordWrap(false);
    // Names are padded to 50 characters: eliding would mark every one as cut.
    Frame1->setTextElideMode(Qt::ElideNone);
    Frame1->verticalHeader()->hide();
    // Fixed sizes: nothing has to look at a thousand rows to lay them out.
    QHeaderView* rows = Frame1->verticalHeader();
    rows->setSectionResizeMode(QHeaderView::Fixed);
    rows->setDefaultSectionSize(fontMetrics().height() + 6);
    QHeaderView* cols = Frame1->horizontalHeader();
    cols->setSectionResizeMode(QHeaderView::Interactive);
    cols->setStretchLastSection(true);
    const QFontMetrics fm(font());
    Frame1->setColumnWidth(AllParamsModel::ColCheck, 28);
    Frame1->setColumnWidth(AllParamsModel::ColAddress,
                           fm.horizontalAdvance(QStringLiteral("000000")) + 12);
    Frame1->setColumnWidth(AllParamsModel::ColName,
                           fm.horizontalAdvance(QString(32, QLatin1Char('M'))) * 3 / 4);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Frame2);
    layout->addWidget(Frame1, 1);
    lblStatus = new QLabel(this);
    lblStatus->setObjectName(QStringLiteral("lblStatus"));
    lblStatus->setWordWrap(true);
    layout->addWidget(lblStatus);
    resize(620, 560);

    connect(btnRead, &QPushButton::clicked, this, &frmAllParams::ReadParams);
    connect(Command3, &QPushButton::clicked, this, &frmAllParams::SendParams);
    connect(Command1, &QPushButton::clicked, this, &frmAllParams::SaveToFile);
    connect(Command2, &QPushButton::clicked, this, &frmAllParams::LoadFromFile);
    connect(chkAll, &QCheckBox::clicked, &model_, &AllParamsModel::chkAll);
    connect(txtFilter, &QLineEdit::textChanged, &filter_, &AllParamsFilter::setText);
    connect(chkChangedOnly, &QCheckBox::toggled, &filter_, &AllParamsFilter::setChangedOnly);
    connect(&safeSend_, &AllParamsSafeSend::readyToAsk, this, &frmAllParams::AskAndSend);
    // What is sent stays as asked about: nothing that changes it works during a send.
    connect(&model_, &AllParamsModel::lockedChanged, this, [this](bool locked) {
        for (QWidget* w : std::initializer_list<QWidget*>{btnRead, Command3, Command2, chkAll}) {
            w->setEnabled(!locked);
        }
    });
    connect(&safeSend_, &AllParamsSafeSend::status, lblStatus, &QLabel::setText);
    connect(&safeSend_, &AllParamsSafeSend::logLine, this,
            [this](const QString& line) { session_.log().AddMessage(line); });
    connect(&safeSend_, &AllParamsSafeSend::mismatch, this, [this](const QString& text) {
        dialogs_.Message(SafeWriteText::MismatchTitle(), text, UserDialogs::Icon::Warning);
    });

    session_.dispatcher().SetAllParams(this);
}

frmAllParams::~frmAllParams() {
    Unload();
    session_.dispatcher().SetAllParams(nullptr);
}

void frmAllParams::Load() {
    loaded_ = true;
    LocaliseCaptions(this);
    if (!built_) {
        model_.Build(session_.params());
        built_ = true;
    }
}

void frmAllParams::Unload() {
    loaded_ = false;
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

void frmAllParams::DataUpdate(int32_t value, int32_t address) {
    // The reads around a send go to its check, not into the value boxes.
    if (!safeSend_.reader().OfferValue(value, address, false)) {
        model_.DataUpdate(value, address);
    }
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
    DeviceLink* link = session_.ctx().activeLink();
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
