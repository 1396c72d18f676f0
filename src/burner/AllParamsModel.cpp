#include "burner/AllParamsModel.h"
#include "support/WriteCheck.h"

#include <QFile>

#include <cmath>

#include "burner/BurnerSafeWrite.h"
#include "burner/NumberText.h"
#include "burner/PrintZones.h"
#include "burner/SingleParam.h"
#include "link/DeviceLink.h"
#include "support/CappedRead.h"
#include "support/Numbers.h"

namespace tuvik {

namespace {

// The edited value's background as a brush. Made through the types' run-time
// registration (QtGui's, present wherever a view asks for it), so that a
// program that only polls, the monitor, need not load QtGui.
QVariant EditedMarkBrush() {
    const QColor colour = EditedMarkColour();
    QVariant brush(QMetaType(QMetaType::QColor), &colour);
    brush.convert(QMetaType(QMetaType::QBrush));
    return brush;
}

}  // namespace

const QString AllParamsModel::kPlaceholderAddress = QStringLiteral("9999");
const QString AllParamsModel::kPlaceholderName = QStringLiteral("Label1");
const QString AllParamsModel::kFileNotFoundText = QStringLiteral("File not found:");

AllParamsModel::AllParamsModel(QObject* parent) : QAbstractTableModel(parent) {
    AddRow(kPlaceholderAddress, kPlaceholderName);
}

void AllParamsModel::AddRow(const QString& addressText, const QString& name) {
    Row r;
    r.addressText = addressText;
    r.address = TextToNumber(addressText);
    r.name = name;
    rows_.push_back(std::move(r));
}

void AllParamsModel::Build(const ParamTable& table) {
    // The table's loaded entries end at the first free one.
    Build(table.loaded());
}

void AllParamsModel::Build(std::span<const ParamDef> defs) {
    beginResetModel();
    rows_.clear();
    rows_.reserve(defs.size());
    for (const ParamDef& d : defs) {
        if (d.name.size() < 2) {
            break;
        }
        AddRow(QString::number(d.address), d.name);
    }
    if (rows_.empty()) {
        AddRow(kPlaceholderAddress, kPlaceholderName);
    }
    endResetModel();
}

int AllParamsModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : rows();
}

int AllParamsModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant AllParamsModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rows()) {
        return {};
    }
    const Row& r = rows_[static_cast<size_t>(index.row())];
    switch (index.column()) {
        case ColCheck:
            if (role == Qt::CheckStateRole) {
                return r.checked ? Qt::Checked : Qt::Unchecked;
            }
            return {};
        case ColAddress:
            return role == Qt::DisplayRole ? QVariant(r.addressText) : QVariant();
        case ColName:
            return role == Qt::DisplayRole ? QVariant(r.name) : QVariant();
        case ColValue:
            if (role == Qt::DisplayRole || role == Qt::EditRole) {
                return r.value;
            }
            if (role == Qt::BackgroundRole || role == Qt::ToolTipRole) {
                if (const auto mark = EditedMark(r.value, r.device)) {
                    return role == Qt::ToolTipRole ? QVariant(*mark)
                                                   : EditedMarkBrush();
                }
            }
            return {};
        default:
            return {};
    }
}

bool AllParamsModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (!index.isValid() || index.row() >= rows() || locked_) {
        return false;
    }
    if (index.column() == ColCheck && role == Qt::CheckStateRole) {
        setChecked(index.row(), value.toInt() == Qt::Checked);
        return true;
    }
    if (index.column() == ColValue && role == Qt::EditRole) {
        setValueText(index.row(), value.toString());
        return true;
    }
    return false;
}

Qt::ItemFlags AllParamsModel::flags(const QModelIndex& index) const {
    if (!index.isValid()) {
        return Qt::NoItemFlags;
    }
    Qt::ItemFlags f = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    if (locked_) {
        return f;
    }
    if (index.column() == ColCheck) {
        f |= Qt::ItemIsUserCheckable;
    } else if (index.column() == ColValue) {
        f |= Qt::ItemIsEditable;
    }
    return f;
}

QVariant AllParamsModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole) {
        return {};
    }
    switch (section) {
        case ColAddress:
            return QStringLiteral("Address");
        case ColName:
            return QStringLiteral("Name");
        case ColValue:
            return QStringLiteral("Value");
        default:
            return QString();
    }
}

void AllParamsModel::setLocked(bool on) {
    if (locked_ != on) {
        locked_ = on;
        emit lockedChanged(on);
    }
}

void AllParamsModel::setChecked(int row, bool on) {
    Row& r = rows_.at(static_cast<size_t>(row));
    if (r.checked != on && !locked_) {
        r.checked = on;
        const QModelIndex i = index(row, ColCheck);
        emit dataChanged(i, i, {Qt::CheckStateRole});
    }
}

void AllParamsModel::setValueText(int row, const QString& text) {
    Row& r = rows_.at(static_cast<size_t>(row));
    if (r.value != text && !locked_) {
        r.value = text;
        ValueChanged(row);
    }
}

void AllParamsModel::ValueChanged(int row) {
    const QModelIndex i = index(row, ColValue);
    emit dataChanged(i, i, {Qt::DisplayRole, Qt::EditRole, Qt::BackgroundRole, Qt::ToolTipRole});
}

void AllParamsModel::chkAll(bool on) {
    if (locked_) {
        return;
    }
    for (Row& r : rows_) {
        r.checked = on;
    }
    if (!rows_.empty()) {
        emit dataChanged(index(0, ColCheck), index(rows() - 1, ColCheck), {Qt::CheckStateRole});
    }
}

void AllParamsModel::DataUpdate(int32_t val, int32_t adr) {
    // One change per row: the value and the device's value together.
    const QString text = QString::number(val);
    for (int i = 0; i < rows(); ++i) {
        Row& r = rows_[static_cast<size_t>(i)];
        if (r.address != adr || (locked_ && r.checked)) {
            continue;
        }
        const bool deviceChanged = r.device != text;
        r.device = text;
        r.reference = text;
        const QModelIndex at = index(i, ColValue);
        if (r.value != text) {
            r.value = text;
            emit dataChanged(at, at,
                             {Qt::DisplayRole, Qt::EditRole, Qt::BackgroundRole, Qt::ToolTipRole});
        } else if (deviceChanged) {
            emit dataChanged(at, at, {Qt::BackgroundRole, Qt::ToolTipRole});
        }
    }
}

bool AllParamsModel::changed(int row) const {
    const Row& r = rows_.at(static_cast<size_t>(row));
    return r.reference && !SameDeviceValue(r.value, *r.reference);
}

void AllParamsModel::HoldValues() {
    held_ = rows_;
}

void AllParamsModel::RestoreValues() {
    if (!held_) {
        return;
    }
    beginResetModel();
    // Rows built meanwhile (another PARAMS.h) are not the held ones.
    if (held_->size() == rows_.size()) {
        rows_ = std::move(*held_);
    }
    held_.reset();
    endResetModel();
}

void AllParamsModel::SetDeviceValue(int32_t adr, int32_t val) {
    for (int i = 0; i < rows(); ++i) {
        Row& r = rows_[static_cast<size_t>(i)];
        if (r.address == adr) {
            r.device = QString::number(val);
            r.reference = r.device;
            const QModelIndex at = index(i, ColValue);
            emit dataChanged(at, at, {Qt::BackgroundRole, Qt::ToolTipRole});
        }
    }
}

std::vector<AllParamsModel::Sendable> AllParamsModel::SendableRows() const {
    std::vector<Sendable> out;
    for (int i = 0; i < rows(); ++i) {
        const Row& r = rows_[static_cast<size_t>(i)];
        const std::optional<double> n = r.checked ? StrictNumber(r.value) : std::nullopt;
        const std::optional<int16_t> v = n ? RoundToInt16(*n) : std::nullopt;
        if (v && *v >= -256 && *v <= 255) {
            out.push_back({i, static_cast<int32_t>(std::floor(r.address)),
                           r.addressText + QLatin1Char(' ') + TrimBlanks(r.name),
                           static_cast<uint8_t>(*v < 0 ? *v + 256 : *v)});
        }
    }
    return out;
}

int AllParamsModel::ReadChecked(DeviceLink& link) {
    int sent = 0;
    for (const Row& r : rows_) {
        if (r.checked && link.ReadEE(static_cast<int>(std::floor(r.address)))) {
            ++sent;
        }
    }
    return sent;
}

QList<AllParamsModel::NotSent> AllParamsModel::SendChecked(DeviceLink& link) {
    QList<NotSent> refused;
    for (int i = 0; i < rows(); ++i) {
        const Row& r = rows_[static_cast<size_t>(i)];
        if (!r.checked) {
            continue;
        }
        const QString who =
            TrimBlanks(r.name) + QStringLiteral(" (") + r.addressText + QStringLiteral("): ");
        const std::optional<double> n = StrictNumber(r.value);
        if (!n) {
            refused.append({i, who + QStringLiteral("\"") + r.value +
                                   QStringLiteral("\" is not a number, not sent.")});
            continue;
        }
        const std::optional<int16_t> v = RoundToInt16(*n);
        if (!v || *v < -256 || *v > 255) {
            refused.append({i, who + QStringLiteral("value ") + r.value +
                                   QStringLiteral(" is outside -256 to 255, not sent.")});
            continue;
        }
        const uint8_t byte[1] = {static_cast<uint8_t>(*v < 0 ? *v + 256 : *v)};
        const auto address = static_cast<int32_t>(std::floor(r.address));
        if (!link.WriteMemory(address, byte)) {
            refused.append({i, who + NotSentMessage()});
        }
    }
    return refused;
}

QString AllParamsModel::ParLine(const QString& addressText, const QString& name,
                                const QString& valueText) {
    const double v = TextToNumber(valueText);
    // A number is written with a leading blank where a minus sign would go,
    // and a trailing blank.
    const QString number = DoubleText(v, QLatin1Char('.'));
    const QString field =
        (number.startsWith(QLatin1Char('-')) ? number : QLatin1Char(' ') + number) +
        QLatin1Char(' ');
    return PrintZones({addressText, name, field});
}

QByteArray AllParamsModel::ParData() const {
    QByteArray out;
    out.reserve(static_cast<qsizetype>(rows_.size()) * 80);
    for (const Row& r : rows_) {
        out += ParLine(r.addressText, r.name, r.value).toLatin1() + "\r\n";
    }
    return out;
}

std::optional<QString> AllParamsModel::SaveParFile(const QString& path) const {
    QFile file(path);
    bool ok = file.open(QIODevice::WriteOnly | QIODevice::Append);
    if (ok) {
        const QByteArray out = ParData();
        ok = file.write(out) == out.size() && file.flush();
        file.close();
        ok = ok && file.error() == QFileDevice::NoError;
    }
    if (!ok) {
        return QStringLiteral("Error saveparData: ") + file.errorString() +
               QString::number(static_cast<int>(file.error()));
    }
    return std::nullopt;
}

int AllParamsModel::LoadParFile(const QString& path, QString* error) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return 0;
    }
    const std::optional<QByteArray> bytes = ReadAtMost(file, kMaxParFileBytes);
    file.close();
    if (!bytes) {
        if (error) {
            *error = QStringLiteral(
                "Error loadparData: the file is too large to be a parameter file; nothing was "
                "loaded.");
        }
        return 0;
    }
    QList<int> skipped;
    const int lines = LoadParData(*bytes, &skipped);
    if (error && !skipped.isEmpty()) {
        QStringList numbers;
        for (int n : skipped) {
            numbers << QString::number(n);
        }
        *error = QStringLiteral(
                     "Error loadparData: these lines could not be read and were "
                     "passed over: ") +
                 numbers.join(QStringLiteral(", "));
    }
    return lines;
}

int AllParamsModel::LoadParData(const QByteArray& bytes, QList<int>* skipped) {
    if (locked_) {
        return 0;
    }
    const ParFileRead read = ReadParData(bytes);
    for (const ParFields& f : read.lines) {
        const QString text = QString::number(f.value);
        for (int i = 0; i < rows(); ++i) {
            const Row& r = rows_[static_cast<size_t>(i)];
            if (r.address == f.address && r.name.contains(f.name, Qt::CaseSensitive)) {
                rows_[static_cast<size_t>(i)].reference = text;
                setValueText(i, text);
            }
        }
    }
    if (skipped) {
        *skipped = read.skipped;
    }
    return static_cast<int>(read.lines.size());
}

}  // namespace tuvik
