#pragma once
// The rows of the all-parameters window: one per parameter definition, with
// a check box, the address, the 50-character name and a value box. Reads and
// writes go one byte each; the grid can be saved to and filled from *.par
// files. A model, so that a thousand rows open at once.

#include <QAbstractTableModel>
#include <QByteArray>
#include <QList>
#include <QString>

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "burner/ParFile.h"
#include "burner/ParamTable.h"

namespace tuvik {

class DeviceLink;

class AllParamsModel : public QAbstractTableModel {
    Q_OBJECT
  public:
    enum Column { ColCheck = 0, ColAddress, ColName, ColValue, ColumnCount };

    // The one row an empty definition table leaves.
    static const QString kPlaceholderAddress;  // "9999"
    static const QString kPlaceholderName;     // "Label1"
    // What the window shows when a file dialog is cancelled.
    static const QString kFileNotFoundText;  // "File not found:"

    struct NotSent {
        int row;
        QString reason;  // names the parameter and says why
    };

    explicit AllParamsModel(QObject* parent = nullptr);

    // One row per loaded definition (unchecked, empty value box), or the
    // placeholder row when there is none.
    void Build(const ParamTable& table);
    void Build(std::span<const ParamDef> defs);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

    // Locked from the read before a send to the end of its read-back: the
    // check boxes and the value boxes take no edits, no loaded file and no
    // stray read reply for a checked row, so that the values shown in the
    // question, the backup and the bytes sent are the same rows.
    void setLocked(bool on);
    bool locked() const { return locked_; }

    int rows() const { return static_cast<int>(rows_.size()); }
    bool checked(int row) const { return rows_.at(static_cast<size_t>(row)).checked; }
    void setChecked(int row, bool on);
    QString addressText(int row) const { return rows_.at(static_cast<size_t>(row)).addressText; }
    QString name(int row) const { return rows_.at(static_cast<size_t>(row)).name; }
    QString valueText(int row) const { return rows_.at(static_cast<size_t>(row)).value; }
    void setValueText(int row, const QString& text);

    // "check all": every row's check box takes the given state (setChecked,
    // setValueText, chkAll and LoadParData change nothing while locked).
    void chkAll(bool on);

    // A byte-read reply: every row at that address shows the value, and
    // takes it as the device's value (while locked, the checked rows keep theirs).
    void DataUpdate(int32_t val, int32_t adr);
    // Every row's value and device value kept aside (a replay starts), and
    // put back (it stops): no recorded value stays in the grid.
    void HoldValues();
    void RestoreValues();
    // The device's value at an address, read around a send: the value boxes
    // keep what they hold and are marked where they differ.
    void SetDeviceValue(int32_t adr, int32_t val);
    // The row's value is not the one last read from the burner or loaded
    // from a file (a row never read nor loaded has not changed).
    bool changed(int row) const;
    // Seam: tests tell a device read from a loaded file, which the grid shows only as a colour.
    std::optional<QString> deviceValue(int row) const {
        return rows_.at(static_cast<size_t>(row)).device;
    }

    // The checked rows that SendChecked sends, with the byte each carries
    // (as a number 0..255) and a field name for the write's check.
    struct Sendable {
        int row;
        int32_t address;
        QString field;  // "address name"
        uint8_t byte;
    };
    std::vector<Sendable> SendableRows() const;

    // Byte reads for the checked rows, in row order. Returns the number of
    // requests the link took.
    int ReadChecked(DeviceLink& link);
    // Byte writes for the checked rows, in row order (after the window's
    // confirmation). A value box that holds no number, or whose number
    // rounded to a whole number lies outside -256..255, is not sent (-1 goes
    // as FF). Returns the rows not sent, with the reason.
    QList<NotSent> SendChecked(DeviceLink& link);

    // *.par files: one line per row, appended. Returns the error text
    // ("Error saveparData: " + description + number) when the file could not
    // be written.
    std::optional<QString> SaveParFile(const QString& path) const;
    QByteArray ParData() const;
    static QString ParLine(const QString& addressText, const QString& name,
                           const QString& valueText);
    // Larger *.par files are refused unread (a thousand rows take under 100
    // kB, so this leaves room for well over a hundred saves appended).
    static constexpr qint64 kMaxParFileBytes = 16 * 1024 * 1024;
    // Fills value boxes from a *.par file, read as ReadParData reads it.
    // Returns the number of lines read. A file too large is refused, no box
    // changed, and *error says so; so it does, after loading, when lines
    // were passed over.
    int LoadParFile(const QString& path, QString* error = nullptr);
    int LoadParData(const QByteArray& bytes, QList<int>* skipped = nullptr);

  signals:
    void lockedChanged(bool locked);

  private:
    struct Row {
        bool checked = false;
        QString addressText;
        double address = 0;  // the address caption read as a number
        QString name;
        QString value;
        std::optional<QString> device;  // last read from the burner
        // The last value read from the burner or loaded from a file.
        std::optional<QString> reference;
    };
    void AddRow(const QString& addressText, const QString& name);
    void ValueChanged(int row);

    std::vector<Row> rows_;
    std::optional<std::vector<Row>> held_;
    bool locked_ = false;
};

}  // namespace tuvik
