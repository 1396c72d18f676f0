#include "shell/RecordingDump.h"

#include <QStringList>

#include <array>

#include "burner/BurnerTables.h"
#include "link/Packet.h"
#include "link/ReplyLayouts.h"
#include "link/RxState.h"
#include "pid/clsPID.h"
#include "support/CsvWriter.h"

namespace tuvik {

namespace {

// Commands the program sends: the framing of the sent bytes starts a packet
// only on one of these (the relay's bare "DG" refresh is no packet).
constexpr std::array<uint8_t, 17> kRequests = {
    Cmd::Plus,         Cmd::Minus,    Cmd::LetterE,       Cmd::LetterW,    Cmd::CalLambda,
    Cmd::Commit,       Cmd::ReadWord, Cmd::UsageRequest,  Cmd::SelectLoop, Cmd::ReadStatus,
    Cmd::ReadParamSet, Cmd::MemWrite, Cmd::AnalogRequest, Cmd::ReadByte,   Cmd::DataRequest,
    Cmd::MeasRequest,  Cmd::Boot};

bool IsRequest(uint8_t b) {
    for (uint8_t r : kRequests) {
        if (r == b) {
            return true;
        }
    }
    return false;
}

QString LiveFieldName(clsPID::LiveField f) {
    switch (f) {
        case clsPID::LiveField::ControllerOut:
            return QStringLiteral("out");
        case clsPID::LiveField::Measurement:
            return QStringLiteral("measurement");
        case clsPID::LiveField::Setpoint:
            return QStringLiteral("setpoint");
        case clsPID::LiveField::y_fw:
            return QStringLiteral("y_fw");
    }
    return {};
}

QString Number(float v) {
    return QString::number(static_cast<double>(v), 'g', 7);
}

QString Received(uint8_t cmd, std::span<const uint8_t> d, size_t n) {
    switch (cmd) {
        case Cmd::LiveValues:
        case Cmd::LiveValuesQuiet:
            if (LiveSingle(d, kLiveSingles - 1)) {
                QStringList v;
                for (size_t i = 0; i < clsPID::kLiveReplyOrder.size(); ++i) {
                    v << LiveFieldName(clsPID::kLiveReplyOrder[i]) + u' ' +
                             Number(*LiveSingle(d, i));
                }
                return QStringLiteral("live values: ") + v.join(QStringLiteral(", "));
            }
            return QStringLiteral("live values (short)");
        case Cmd::WriteAck:
            return WriteAccepted(d) ? QStringLiteral("write acknowledged")
                                    : QStringLiteral("write refused");
        case Cmd::ByteValue:
            if (const auto v = DecodeByteValue(d)) {
                return QStringLiteral("memory byte at %1 = %2").arg(v->address).arg(v->value);
            }
            break;
        case Cmd::ReadWord:
            if (const auto v = DecodeWordValue(d)) {
                return QStringLiteral("memory word at %1 = %2").arg(v->address).arg(v->value);
            }
            break;
        case Cmd::AnalogValues:
            if (const auto inputs = DecodeAnalogInputs(d)) {
                QStringList v;
                for (const uint16_t input : *inputs) {
                    v << QString::number(input);
                }
                return QStringLiteral("analog inputs: ") + v.join(QStringLiteral(", "));
            }
            break;
        case Cmd::ActuatorEvent:
            if (const auto r = DecodeActuatorReport(d)) {
                return ActivityNames()[r->actuator].trimmed() +
                       (r->started ? QStringLiteral(" started at ")
                                   : QStringLiteral(" stopped at ")) +
                       QString::number(r->tenths / 10.0) + QStringLiteral(" s, state ") +
                       StateNames()[r->state];
            }
            break;
        case Cmd::StatusRecord:
            return QStringLiteral("loop status record (%1 bytes)").arg(n);
        case Cmd::Alarm:
            return AlarmOn(d) ? QStringLiteral("alarm on") : QStringLiteral("alarm off");
        case Cmd::DeviceStarted:
            return QStringLiteral("device started (%1)").arg(d[0]);
        case Cmd::Measurements:
            return QStringLiteral("burner measurements (%1 bytes)").arg(n);
        case Cmd::UsageReply:
            return QStringLiteral("usage counters (%1 bytes)").arg(n);
        case Cmd::ParamSet:
            return QStringLiteral("parameter set (%1 bytes)").arg(n);
        default:
            break;
    }
    return {};
}

QString Sent(uint8_t cmd, std::span<const uint8_t> d, size_t n) {
    switch (cmd) {
        case Cmd::DataRequest:
            return QStringLiteral("live values request");
        case Cmd::ReadByte:
            return n >= 2 ? QStringLiteral("read memory byte at %1").arg(U16(d, 0)) : QString();
        case Cmd::ReadWord:
            return n >= 2 ? QStringLiteral("read memory word at %1").arg(U16(d, 0)) : QString();
        case Cmd::MemWrite:
            if (n >= 2) {
                QStringList v;
                for (size_t k = 2; k < n; ++k) {
                    v << QString::number(d[k]);
                }
                return QStringLiteral("write memory at %1: ").arg(U16(d, 0)) +
                       v.join(QStringLiteral(" "));
            }
            break;
        case Cmd::SelectLoop:
            return QStringLiteral("select loop %1").arg(d[0]);
        case Cmd::ReadStatus:
            return QStringLiteral("read loop status");
        case Cmd::ReadParamSet:
            return QStringLiteral("read parameter set");
        case Cmd::AnalogRequest:
            return QStringLiteral("analog inputs request");
        case Cmd::MeasRequest:
            return QStringLiteral("burner measurements request");
        case Cmd::UsageRequest:
            return QStringLiteral("usage counters request");
        default:
            break;
    }
    return {};
}

// Frames one direction, byte by byte, so that bytes outside packets are
// seen too.
class Framer : public RxSink {
  public:
    Framer(ChunkDirection dir, const std::function<void(const DumpRow&)>& row)
        : dir_(dir), row_(row), rx_(dir == ChunkDirection::Sent ? &IsRequest : nullptr) {}

    void Feed(const RecordedChunk& c) {
        time_ = c.timeUs;
        for (const char ch : c.bytes) {
            const bool startsPacket = rx_.count == 0;
            done_ = false;
            rx_.Feed(static_cast<uint8_t>(ch), *this);
            if (startsPacket && rx_.count == 0 && !done_) {
                stray_.append(ch);  // hunted past
                continue;
            }
            FlushStray();
            if (!done_) {
                packet_.append(ch);
            }
        }
    }
    void Finish() {
        FlushStray();
        if (!packet_.isEmpty()) {
            row_({time_, dir_, static_cast<uint8_t>(packet_[0]), packet_,
                  QStringLiteral("incomplete packet at the end")});
            packet_.clear();
        }
    }
    void FlushStray() {
        if (!stray_.isEmpty()) {
            row_({time_, dir_, -1, stray_, QStringLiteral("bytes outside any packet")});
            stray_.clear();
        }
    }
    // The trailer is the byte being fed: it completes the packet's bytes.
    void OnPacket(uint8_t command, std::span<const uint8_t> data) override {
        done_ = true;
        packet_.append(static_cast<char>(Trailer(command)));
        const auto length =
            static_cast<size_t>(static_cast<uint8_t>(packet_.size() > 1 ? packet_[1] : 0));
        row_({time_, dir_, command, packet_,
              PacketMeaning(dir_, command,
                            data.first(std::min(data.size(), std::max<size_t>(length, 1))))});
        packet_.clear();
    }
    void OnBrokenPacket(uint8_t command, int length, uint8_t trailer) override {
        done_ = true;
        packet_.append(static_cast<char>(trailer));
        row_({time_, dir_, command, packet_,
              QStringLiteral("broken packet: length %1, trailer 0x%2")
                  .arg(length)
                  .arg(trailer, 2, 16, QLatin1Char('0'))});
        packet_.clear();
    }

  private:
    ChunkDirection dir_;
    const std::function<void(const DumpRow&)>& row_;
    RxState rx_;
    qint64 time_ = 0;
    bool done_ = false;
    QByteArray stray_;
    QByteArray packet_;  // the bytes of the packet being framed
};

QString Hex(const QByteArray& b) {
    return QString::fromLatin1(b.toHex(' ')).toUpper();
}

QString SecondsText(qint64 us) {
    const QString sign = us < 0 ? QStringLiteral("-") : QString();
    // Unsigned, so that the most negative time (a hostile stamp) has a magnitude.
    const quint64 a = us < 0 ? 0 - static_cast<quint64>(us) : static_cast<quint64>(us);
    return sign + QString::number(a / 1000000) + u'.' +
           QStringLiteral("%1").arg(a % 1000000, 6, 10, QLatin1Char('0'));
}

QString CommandText(int command) {
    return command < 0 ? QStringLiteral("-")
                       : QStringLiteral("0x") +
                             QStringLiteral("%1").arg(command, 2, 16, QLatin1Char('0')).toUpper();
}

}  // namespace

QString PacketMeaning(ChunkDirection direction, uint8_t command, std::span<const uint8_t> data) {
    if (data.empty()) {
        return {};
    }
    return direction == ChunkDirection::Received ? Received(command, data, data.size())
                                                 : Sent(command, data, data.size());
}

qint64 DumpRecording(RecordedChunkSource& source, const std::function<void(const DumpRow&)>& row) {
    Framer in(ChunkDirection::Received, row);
    Framer out(ChunkDirection::Sent, row);
    RecordedChunk c;
    qint64 chunks = 0;
    while (source.Next(c)) {
        ++chunks;
        (c.direction == ChunkDirection::Received ? in : out).Feed(c);
    }
    in.Finish();
    out.Finish();
    return chunks;
}

QString DumpRowText(const DumpRow& row) {
    QString s =
        SecondsText(row.timeUs) + u' ' +
        (row.direction == ChunkDirection::Received ? QStringLiteral("rx") : QStringLiteral("tx")) +
        u' ' + CommandText(row.command) + u' ' + Hex(row.bytes);
    if (!row.meaning.isEmpty()) {
        s += QStringLiteral("  ") + row.meaning;
    }
    return s;
}

QString DumpCsvHeader() {
    return QStringLiteral("time_s,direction,command,bytes,meaning");
}

QString DumpRowCsv(const DumpRow& row) {
    // A meaning may hold a comma.
    static const CsvWriter csv(u',', CsvQuoting::WhenNeeded);
    return csv.Row(
        {SecondsText(row.timeUs),
         row.direction == ChunkDirection::Received ? QStringLiteral("rx") : QStringLiteral("tx"),
         CommandText(row.command), Hex(row.bytes), row.meaning});
}

}  // namespace tuvik
