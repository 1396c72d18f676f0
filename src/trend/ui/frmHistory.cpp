#include "trend/ui/frmHistory.h"

#include <QComboBox>
#include <QDateTime>
#include <QDateTimeEdit>
#include <QDir>
#include <QFileInfo>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <cmath>

#include "support/UserDialogs.h"
#include "support/ui/Controls.h"
#include "support/ui/StandardDialogsWidget.h"
#include "trend/HistoryRetention.h"
#include "trend/HistoryStore.h"
#include "trend/SqlRecordSet.h"
#include "trend/ui/TrendChartWidget.h"

namespace tuvik {

namespace {

QString ReaderName() {
    static std::atomic<int> counter{0};
    return QStringLiteral("tuvik-history-reader-%1").arg(++counter);
}

constexpr qint64 kSpanSeconds[] = {3600, 86400, 7 * 86400, 30 * 86400};
constexpr int kChosenLoops = 2;

qint64 FloorDiv(qint64 a, qint64 b) {
    return a / b - ((a % b) < 0 ? 1 : 0);
}

}  // namespace

frmHistory::frmHistory(HistorySource source, QWidget* parent, UserDialogs* dialogs)
    : QWidget(parent, Qt::Window),
      source_(std::move(source)),
      dialogs_(dialogs ? *dialogs : DefaultDialogs()),
      reader_(std::make_unique<HistoryDb>(ReaderName())) {
    setObjectName(QStringLiteral("History"));
    setWindowTitle(QStringLiteral("History"));

    loop_ = Named(new QComboBox(this), "cboHistoryLoop");
    // The loops the main window's selector offers, under its names.
    loop_->addItems(source_.loopNames.mid(0, kChosenLoops));
    loop_->setCurrentIndex(std::clamp(source_.selectedLoop, 0, kChosenLoops - 1));
    span_ = Named(new QComboBox(this), "cboHistorySpan");
    span_->addItems({QStringLiteral("Last hour"), QStringLiteral("Last day"),
                     QStringLiteral("Last week"), QStringLiteral("Last month"),
                     QStringLiteral("From - to")});
    const QDateTime now = QDateTime::currentDateTime();
    from_ = Named(new QDateTimeEdit(now.addDays(-1), this), "dtHistoryFrom");
    to_ = Named(new QDateTimeEdit(now, this), "dtHistoryTo");
    for (QDateTimeEdit* e : {from_, to_}) {
        e->setDisplayFormat(QStringLiteral("yyyy-MM-dd HH:mm"));
        e->setCalendarPopup(true);
        e->setEnabled(false);
    }
    auto* show = Named(new QPushButton(QStringLiteral("Show"), this), "cmdHistoryShow");
    days_ = Named(new QSpinBox(this), "txtHistoryDays");
    days_->setRange(1, 36600);
    days_->setSuffix(QStringLiteral(" days"));
    days_->setValue(source_.history.retentionDays());
    status_ = Named(new QLabel(this), "lblHistoryStatus");
    status_->setWordWrap(true);
    chart_ = Named(new TrendChartWidget(this), "picHistory");
    chart_->setMinimumSize(480, 240);
    chart_->setDatabaseTools(&view_);
    auto* open =
        Named(new QPushButton(QStringLiteral("Open history file..."), this), "cmdHistoryOpen");
    live_ = Named(new QPushButton(QStringLiteral("Live history"), this), "cmdHistoryLive");
    live_->setEnabled(false);

    auto* grid = new QGridLayout(this);
    grid->addWidget(new QLabel(QStringLiteral("Loop"), this), 0, 0);
    grid->addWidget(loop_, 0, 1);
    grid->addWidget(new QLabel(QStringLiteral("Span"), this), 0, 2);
    grid->addWidget(span_, 0, 3);
    grid->addWidget(from_, 0, 4);
    grid->addWidget(to_, 0, 5);
    grid->addWidget(show, 0, 6);
    grid->addWidget(new QLabel(QStringLiteral("Keep"), this), 0, 7);
    grid->addWidget(days_, 0, 8);
    grid->addWidget(chart_, 1, 0, 1, 9);
    grid->addWidget(status_, 2, 0, 1, 7);
    grid->addWidget(open, 2, 7);
    grid->addWidget(live_, 2, 8);
    grid->setRowStretch(1, 1);
    grid->setColumnStretch(1, 1);
    resize(900, 420);

    resized_ = new QTimer(this);
    resized_->setSingleShot(true);
    connect(resized_, &QTimer::timeout, this, &frmHistory::Draw);
    connect(span_, &QComboBox::currentIndexChanged, this, [this](int i) {
        from_->setEnabled(i == FromTo);
        to_->setEnabled(i == FromTo);
        Show();
    });
    connect(loop_, &QComboBox::currentIndexChanged, this, &frmHistory::Show);
    connect(show, &QPushButton::clicked, this, &frmHistory::Show);
    connect(open, &QPushButton::clicked, this, &frmHistory::OpenFile);
    connect(live_, &QPushButton::clicked, this, [this] { ShowFile({}); });
    // Enter or leaving the box: "365" typed over "400" never prunes to 3.
    connect(days_, &QSpinBox::editingFinished, this, &frmHistory::RetentionEdited);
    connect(chart_, &TrendChartWidget::markClicked, status_, &QLabel::setText);
    view_.setOnChanged([this] { Draw(); });
    // What the writer has committed is drawn when it comes; a chosen span
    // up to now moves on with it unless the tools have moved it.
    connect(&source_.history, &HistoryStore::committed, this, [this] {
        if (!isVisible() || !file_.isEmpty()) {
            return;
        }
        if (span_->currentIndex() != FromTo && view_.atChosen()) {
            Choose();
        }
        resized_->start(0);
    });
    Show();
}

frmHistory::~frmHistory() {
    view_.setOnChanged({});
}

void frmHistory::RetentionEdited() {
    const int old = source_.history.retentionDays();
    const int days = days_->value();
    if (days == old || asking_ || !file_.isEmpty()) {
        return;
    }
    // The retention is the live history's, also during a replay.
    if (!ConfirmLimit(dialogs_, windowTitle(), days_, old,
                      RetentionQuestionFor(source_.livePath(), ReaderName(), days,
                                           QDateTime::currentSecsSinceEpoch()),
                      asking_)) {
        return;
    }
    source_.history.setRetentionDays(days);
    source_.saveRetentionDays(days);
}

void frmHistory::Show() {
    Choose();
    // Drawn at once from what is committed; what the writer is given now is
    // drawn when it has been committed.
    if (file_.isEmpty()) {
        source_.history.Commit();
    }
    Draw();
}

void frmHistory::OpenFile() {
    const QString path =
        dialogs_.OpenFileNameIn(QStringLiteral("Open history file"),
                                QStringLiteral("History files (*.sqlite *.db);;All files (*)"),
                                QFileInfo(source_.livePath()).absolutePath());
    if (!path.isEmpty()) {
        ShowFile(path);
    }
}

void frmHistory::ShowFile(const QString& path) {
    file_ = path;
    const bool live = path.isEmpty();
    // The retention is the live history's; a chosen file is only read.
    days_->setEnabled(live);
    live_->setEnabled(!live);
    setWindowTitle(live ? QStringLiteral("History")
                        : QStringLiteral("History - %1").arg(QFileInfo(path).fileName()));
    reader_->Close();
    Show();
}

QString frmHistory::ShownPath() const {
    return file_.isEmpty() ? source_.history.databasePath() : file_;
}

void frmHistory::Choose() {
    const int span = span_->currentIndex();
    if (span == FromTo) {
        view_.Choose(loop_->currentIndex(), from_->dateTime().toSecsSinceEpoch(),
                     to_->dateTime().toSecsSinceEpoch());
    } else {
        // Up to the history's now: a replay's position while one plays.
        const qint64 now = FloorDiv(source_.history.nowMs(), 1000);
        view_.Choose(loop_->currentIndex(), now - kSpanSeconds[span], now);
    }
}

QString frmHistory::SourceText() const {
    if (!file_.isEmpty()) {
        return QDir::toNativeSeparators(file_);
    }
    const std::optional<QString> replay = source_.replayName();
    return replay ? QStringLiteral("Replay of %1").arg(*replay) : QStringLiteral("Live");
}

void frmHistory::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    resized_->start(0);  // one drawing for a run of resizes
}

void frmHistory::Draw() {
    const QString path = ShownPath();
    if (!reader_->isOpen() || reader_->path() != path) {
        if (const QString error = reader_->OpenForReading(path); !error.isEmpty()) {
            status_->setText(SourceText() + QStringLiteral(": ") + error);
            return;
        }
    }
    // One row per pixel column of the plot.
    const QSizeF tw = chart_->sizeInTwips();
    const cTrendline::Geometry g = cTrendline::ComputeGeometry(static_cast<float>(tw.width()),
                                                               static_cast<float>(tw.height()), 0);
    view_.setColumns(
        static_cast<int>((static_cast<double>(g.W) - g.X0) * chart_->width() / tw.width()));
    QString error;
    QSqlQuery query = view_.Run(reader_->database(), &error);
    if (!error.isEmpty()) {
        status_->setText(SourceText() + QStringLiteral(": History cannot be read: ") + error);
        return;
    }
    const auto [low, high] = view_.ValueRange();
    cTrendline& c = chart_->chart();
    c.setMaxX(static_cast<int16_t>(view_.ChartMaxX()));
    c.setMaxY(static_cast<int16_t>(std::min(32000.0, std::ceil(high * 1.1 / 10) * 10)));
    c.setMinY(low < 0 ? -1 : 0);
    c.setResolution(5);
    c.setClockAxis(view_.Axis());
    SqlRecordSet rs(std::move(query));
    QStringList names = HistoryView::DrawnSeries();
    chart_->DrawSQLTrend(rs, names, true);
    status_->setText(QStringLiteral("%1: %2 to %3, %4 marks")
                         .arg(SourceText(),
                              QDateTime::fromSecsSinceEpoch(view_.t0())
                                  .toString(QStringLiteral("yyyy-MM-dd HH:mm")),
                              QDateTime::fromSecsSinceEpoch(view_.t1())
                                  .toString(QStringLiteral("yyyy-MM-dd HH:mm")))
                         .arg(view_.events().size()));
}

}  // namespace tuvik
