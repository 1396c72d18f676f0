#include "burner/ParamSet.h"

#include <cmath>

#include "burner/NumberText.h"
#include "support/Numbers.h"

namespace tuvik {

namespace {

ParamBoxDef Box(int address, int width, const char* label, const char* tooltip) {
    return {address, width, QString::fromUtf8(label), QString::fromUtf8(tooltip)};
}

struct BlockLayout {
    int32_t address;
    int firstBox;
    int lastBox;
};

constexpr std::array<BlockLayout, kUploadBlockCount> kBlocks = {{
    {4, 0, 5},
    {16, 6, 13},
    {28, 14, 18},
}};

QString TextOf(const QStringList& boxTexts, int i) {
    return i < boxTexts.size() ? boxTexts.at(i) : QString();
}

}  // namespace

const std::array<ParamBoxDef, kParamBoxCount>& ParamBoxes() {
    static const std::array<ParamBoxDef, kParamBoxCount> boxes = {
        Box(4, 16, "Fuelfeed temperature", "Poistuvan kaasun tavoitelämpö"),
        Box(6, 16, "Grate uptime", "Vastuksen alkulämmitysaika"),
        Box(8, 16, "Heater time", "Vastuksen päälläolo Warmupin jälkeen"),
        Box(10, 16, "Fuel time First", "Ensimmäinen syöttö"),
        Box(12, 16, "Fuel time Second", "Toisen tason syöttöaika"),
        Box(14, 16, "Fuel time RUN mode", "Syöttöaika RUN modessa"),
        Box(16, 16, "IR trig level",
            "Aika, joka odotetaan tokasyöttölämmön jälkeen ennen kuin annetaan lisää "
            "pellettiä"),
        Box(18, 16, "Fuel time Pause", "väliaika RUN modessa"),
        Box(20, 16, "Grate down time", "Syöttölämpötilaraja esim 50 -150"),
        Box(22, 16, "Fuel startup ramp temp", "Lämpötilan Rampupin ensimmäinen lämpötila"),
        Box(24, 8, "VFD RUN mode", "Tamun ohjaus 0-100"),
        Box(25, 8, "VFD START mode", "Tamun ohjaus 0-100"),
        Box(26, 8, "Water setpoint", "Ei käytössä"),
        Box(27, 8, "water hysteresis", "Lämpötilan pudotus joka katkaisee syötön."),
        Box(28, 8, "VFD IDLE MODE", "Lämpötilan pudotus joka katkaisee syötön."),
        Box(29, 8, "VFD OFF MODE", "Ei käytössä"),
        Box(30, 16, "Fuel time IDLE mode", "Tamun ohjaus 0-100"),
        Box(32, 16, "Fuel pause IDLE mode", "Tamun ohjaus 0-100"),
        Box(34, 16, "Fuelfeed temp IDLE", "Tamun ohjaus 0-100"),
    };
    return boxes;
}

std::array<std::optional<QString>, kParamBoxCount> DecodeParamSet(std::span<const uint8_t> d) {
    std::array<std::optional<QString>, kParamBoxCount> out;
    const auto& boxes = ParamBoxes();
    for (int i = 0; i < kParamBoxCount; ++i) {
        const auto a = static_cast<size_t>(boxes[i].address);
        if (boxes[i].width == 16) {
            if (a + 1 < d.size()) {
                out[i] = QString::number(static_cast<int16_t>(d[a] | (d[a + 1] << 8)));
            }
        } else if (a < d.size()) {
            out[i] = QString::number(d[a]);
        }
    }
    return out;
}

void ApplyParamSet(std::span<const uint8_t> d, QStringList& boxTexts) {
    while (boxTexts.size() < kParamBoxCount) {
        boxTexts.append(QString::fromLatin1(kUnreadBoxText));
    }
    const auto texts = DecodeParamSet(d);
    for (int i = 0; i < kParamBoxCount; ++i) {
        if (texts[i]) {
            boxTexts[i] = *texts[i];
        }
    }
}

bool ParamSetLooksUnread(const QStringList& boxTexts) {
    int zeros = 0;
    for (int i = 0; i < kParamBoxCount; ++i) {
        if (TextOf(boxTexts, i) == QLatin1String(kUnreadBoxText)) {
            ++zeros;
        }
    }
    return zeros > 9;
}

std::variant<UploadBlock, BadBox> BuildUploadBlock(int block, const QStringList& boxTexts) {
    const BlockLayout& layout = kBlocks.at(static_cast<size_t>(block));
    UploadBlock out{layout.address, {}};
    for (int i = layout.firstBox; i <= layout.lastBox; ++i) {
        const ParamBoxDef& def = ParamBoxes()[i];
        const QString text = TextOf(boxTexts, i);
        const std::optional<double> n = StrictNumber(text);
        const QString quoted = QStringLiteral("\"") + def.label + QStringLiteral("\"");
        if (def.width == 16) {
            // Converted as a 32-bit whole number first, then cut to 16 bits.
            const std::optional<int32_t> v = n ? RoundToInt32(*n) : std::nullopt;
            if (!v) {
                return BadBox{i, quoted + QStringLiteral(" must hold a whole number (\"") + text +
                                     QStringLiteral("\" is not one).")};
            }
            const auto w = static_cast<uint16_t>(static_cast<uint32_t>(*v) & 0xFFFF);
            out.bytes.push_back(static_cast<uint8_t>(w & 0xFF));
            out.bytes.push_back(static_cast<uint8_t>(w >> 8));
        } else {
            const double v = n ? std::floor(*n) : -1.0;
            if (!n || v < 0.0 || v > 255.0) {
                return BadBox{i, quoted + QStringLiteral(" must hold a number from 0 to 255 (\"") +
                                     text + QStringLiteral("\" is not one).")};
            }
            out.bytes.push_back(static_cast<uint8_t>(v));
        }
    }
    return out;
}

}  // namespace tuvik
