#include "burner/ParamTable.h"

#include <QFile>
#include <QIODevice>

#include "support/CappedRead.h"
#include "support/EventLog.h"
#include "support/Numbers.h"
#include "support/TextLines.h"

namespace tuvik {

namespace {

const QString kDefine = QStringLiteral("#define");
const QString kComment = QStringLiteral("//");

QString PadName(const QString& name) {
    return name.left(kParamNameWidth).leftJustified(kParamNameWidth, QLatin1Char(' '));
}

}  // namespace

std::optional<ParamDef> ParseParamLine(const QString& line) {
    if (!line.contains(kDefine)) {
        return std::nullopt;
    }
    QString text = line;
    text.remove(kDefine);

    QString description;
    const qsizetype mark = text.indexOf(kComment);
    if (mark >= 0) {
        description = text.mid(mark + kComment.size());
        text.truncate(mark);
    }
    text.replace(QLatin1Char('\t'), QLatin1Char(' '));
    text = TrimBlanks(text);

    // "#define 17" has no name: the whole rest is the address.
    const qsizetype space = text.indexOf(QLatin1Char(' '));
    const QString name = space < 0 ? QString() : text.left(space);
    const QString addressText = space < 0 ? text : text.mid(space + 1);

    // A value that does not fit 16 bits cannot be a memory address; the
    // line is passed over so that the definitions after it still load.
    const std::optional<int16_t> address = RoundToInt16(TextToNumber(addressText));
    if (!address || *address <= 0) {
        return std::nullopt;
    }
    ParamDef def;
    def.name = PadName(name);
    def.address = *address;
    def.value = -1;
    def.description = description;
    return def;
}

void ForEachParamDef(const QByteArray& bytes, const std::function<bool(ParamDef&&)>& sink) {
    for (const TextLine<QByteArrayView>& line : SplitLines(bytes)) {
        // The header is 8-bit text; every byte maps to one character.
        if (std::optional<ParamDef> def = ParseParamLine(QString::fromLatin1(line.text))) {
            if (!sink(std::move(*def))) {
                return;
            }
        }
    }
}

std::vector<ParamDef> ReadParamDefs(const QByteArray& bytes, std::size_t maxCount) {
    std::vector<ParamDef> defs;
    if (maxCount == 0) {
        return defs;
    }
    ForEachParamDef(bytes, [&](ParamDef&& def) {
        defs.push_back(std::move(def));
        return defs.size() < maxCount;
    });
    return defs;
}

std::vector<ParamDef> ReadParamDefs(QIODevice& device, std::size_t maxCount) {
    if (!device.isOpen() && !device.open(QIODevice::ReadOnly)) {
        return {};
    }
    return ReadParamDefs(device.readAll(), maxCount);
}

std::vector<ParamDef> ReadParamDefsFile(const QString& path, std::size_t maxCount) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return {};
    }
    const std::optional<QByteArray> bytes = ReadAtMost(file, kMaxParamsHeaderBytes);
    file.close();
    if (!bytes) {
        WriteEventLog(QStringLiteral("Error ReadParams: ") + path +
                      QStringLiteral(" is too large to be a parameter header; no parameters read"));
        return {};
    }
    return ReadParamDefs(*bytes, maxCount);
}

QString ParamListItem(const ParamDef& def) {
    return def.name + QLatin1Char('#') + QString::number(def.address);
}

namespace {
QStringList ToListItems(const std::vector<ParamDef>& defs) {
    QStringList items;
    items.reserve(static_cast<qsizetype>(defs.size()));
    for (const ParamDef& d : defs) {
        items.append(ParamListItem(d));
    }
    return items;
}
}  // namespace

QStringList ReadParameterListItems(const QString& path) {
    return ToListItems(ReadParamDefsFile(path));
}

QStringList ReadParameterListItems(const QByteArray& bytes) {
    return ToListItems(ReadParamDefs(bytes));
}

ParamTable::ParamTable() : entries_(kCapacity) {}

void ParamTable::Fill(std::vector<ParamDef>&& defs) {
    std::fill(entries_.begin(), entries_.end(), ParamDef{});
    count_ = static_cast<int>(std::min<std::size_t>(defs.size(), kCapacity));
    std::move(defs.begin(), defs.begin() + count_, entries_.begin());
}

void ParamTable::LoadParamTable(const QString& path) {
    Fill(ReadParamDefsFile(path, kCapacity));
}

void ParamTable::LoadParamTable(const QByteArray& bytes) {
    Fill(ReadParamDefs(bytes, kCapacity));
}

void ParamTable::LoadParamTable(QIODevice& device) {
    Fill(ReadParamDefs(device, kCapacity));
}

}  // namespace tuvik
