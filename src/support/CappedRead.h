#pragma once
// Reading a file that has a sane size: one byte more than allowed is read,
// so that a larger file is told apart without reading all of it.

#include <QByteArray>
#include <QIODevice>

#include <optional>

namespace tuvik {

// The device's bytes, or nothing when it holds more than maxBytes.
inline std::optional<QByteArray> ReadAtMost(QIODevice& device, qint64 maxBytes) {
    QByteArray bytes = device.read(maxBytes + 1);
    if (bytes.size() > maxBytes) {
        return std::nullopt;
    }
    return bytes;
}

}  // namespace tuvik
