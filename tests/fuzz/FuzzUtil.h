#pragma once
// What the fuzz targets share: a property check that stops the run, and the
// fuzzer's input as bytes without a copy.

#include <QByteArray>

#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace tuvik::fuzz {

// A broken property ends the run; the fuzzer keeps the input that did it.
inline void Check(bool ok) {
    if (!ok) {
        std::abort();
    }
}

inline QByteArray Bytes(const uint8_t* data, size_t size) {
    return QByteArray::fromRawData(reinterpret_cast<const char*>(data),
                                   static_cast<qsizetype>(size));
}

}  // namespace tuvik::fuzz
