#include "shell/ui/RecordingsDialog.h"

#include <QDialogButtonBox>
#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QSpinBox>
#include <QTableWidget>
#include <QVBoxLayout>

#include "shell/SessionRecorder.h"
#include "support/UserDialogs.h"
#include "support/ui/Controls.h"

namespace tuvik {

namespace {
enum Column { kName, kStart, kSize, kKeep, kColumns };
constexpr int kPathRole = Qt::UserRole;
}  // namespace

RecordingsDialog::RecordingsDialog(SessionRecorder& recorder, UserDialogs& dialogs, QWidget* parent)
    : QDialog(parent),
      recorder_(recorder),
      dialogs_(dialogs),
      table_(Named(new QTableWidget(0, kColumns, this), "tblRecordings")),
      limit_(Named(new QSpinBox(this), "spnRecordingsLimit")) {
    setObjectName(QStringLiteral("frmRecordings"));
    setWindowTitle(QStringLiteral("Recordings"));
    table_->setHorizontalHeaderLabels({QStringLiteral("Recording"), QStringLiteral("Started"),
                                       QStringLiteral("Size"), QStringLiteral("Keep")});
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->setSelectionMode(QAbstractItemView::SingleSelection);
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table_->horizontalHeader()->setSectionResizeMode(kName, QHeaderView::Stretch);
    table_->verticalHeader()->hide();

    limit_->setRange(1, 1000000);
    limit_->setSuffix(QStringLiteral(" MB"));
    limit_->setValue(recorder_.limitMb());
    limit_->setToolTip(QStringLiteral(
        "The recordings folder is kept within this size; the oldest recordings not marked "
        "\"keep\" are removed first"));

    auto* open = Named(new QPushButton(QStringLiteral("Open"), this), "btnRecordingOpen");
    auto* browse = Named(new QPushButton(QStringLiteral("Browse..."), this), "btnRecordingBrowse");
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    buttons->addButton(open, QDialogButtonBox::ActionRole);
    buttons->addButton(browse, QDialogButtonBox::ActionRole);

    auto* limitRow = new QHBoxLayout;
    limitRow->addWidget(new QLabel(QStringLiteral("Keep the folder within"), this));
    limitRow->addWidget(limit_);
    limitRow->addStretch(1);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(QDir::toNativeSeparators(recorder_.folder().dir()), this));
    layout->addWidget(table_);
    layout->addLayout(limitRow);
    layout->addWidget(buttons);
    resize(640, 360);

    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(limit_, &QSpinBox::editingFinished, this, &RecordingsDialog::LimitEdited);
    connect(table_, &QTableWidget::itemChanged, this, [this](QTableWidgetItem* item) {
        if (!filling_ && item->column() == kKeep) {
            KeepToggled(item->row());
        }
    });
    connect(table_, &QTableWidget::cellDoubleClicked, this,
            [this](int row, int) { Choose(table_->item(row, kName)->data(kPathRole).toString()); });
    connect(open, &QPushButton::clicked, this, [this] {
        const int row = table_->currentRow();
        if (row >= 0) {
            Choose(table_->item(row, kName)->data(kPathRole).toString());
        }
    });
    connect(browse, &QPushButton::clicked, this, [this] {
        const QString path =
            dialogs_.OpenFileName(QStringLiteral("Open a recording"),
                                  QStringLiteral("Recordings (*.pcapng.zst);;All files (*)"));
        if (!path.isEmpty()) {
            Choose(path);
        }
    });
    Refresh();
}

void RecordingsDialog::Refresh() {
    filling_ = true;
    const QList<RecordingEntry> entries = recorder_.folder().Entries();
    table_->setRowCount(0);
    // Newest first: the recording wanted is usually the last one.
    for (auto it = entries.rbegin(); it != entries.rend(); ++it) {
        const int row = table_->rowCount();
        table_->insertRow(row);
        auto* name = new QTableWidgetItem(it->name);
        name->setData(kPathRole, it->path);
        if (it->path == recorder_.currentPath()) {
            name->setToolTip(QStringLiteral("Being recorded now"));
        }
        table_->setItem(row, kName, name);
        table_->setItem(row, kStart,
                        new QTableWidgetItem(QLocale().toString(it->start, QLocale::ShortFormat)));
        table_->setItem(row, kSize, new QTableWidgetItem(QLocale().formattedDataSize(it->size)));
        auto* keep = new QTableWidgetItem;
        keep->setFlags(Qt::ItemIsUserCheckable | Qt::ItemIsEnabled | Qt::ItemIsSelectable);
        keep->setCheckState(it->keep ? Qt::Checked : Qt::Unchecked);
        table_->setItem(row, kKeep, keep);
    }
    filling_ = false;
}

void RecordingsDialog::LimitEdited() {
    const int old = recorder_.limitMb();
    const int mb = limit_->value();
    if (mb == old || asking_) {
        return;
    }
    if (!ConfirmLimit(dialogs_, windowTitle(), limit_, old, recorder_.LimitQuestion(mb), asking_)) {
        return;
    }
    recorder_.setLimitMb(mb);
    Refresh();
}

void RecordingsDialog::KeepToggled(int row) {
    const QString path = table_->item(row, kName)->data(kPathRole).toString();
    const bool keep = table_->item(row, kKeep)->checkState() == Qt::Checked;
    if (!RecordingFolder::SetKeep(path, keep)) {
        dialogs_.Message(
            QStringLiteral("Recordings"),
            QStringLiteral("The mark could not be saved beside ") + QDir::toNativeSeparators(path));
        Refresh();
    }
}

void RecordingsDialog::Choose(const QString& path) {
    emit recordingChosen(path);
    accept();
}

}  // namespace tuvik
