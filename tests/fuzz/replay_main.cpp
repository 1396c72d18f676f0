// Runs every seed file of a fuzz target through the target's entry point, in
// a plain build under CTest, so that the inputs kept in the seed folder (and
// the interesting ones the fuzzers found) keep passing the target's checks:
//   fuzz_<name>_replay tests/fuzz/seeds/fuzz_<name>
// A broken check aborts on the seed named last; a folder without seeds fails.
#include <QByteArray>
#include <QDir>
#include <QFile>

#include <cstddef>
#include <cstdint>
#include <cstdio>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <seed folder>\n", argv[0]);
        return 2;
    }
    const QDir dir(QString::fromLocal8Bit(argv[1]));
    const QStringList seeds = dir.entryList(QDir::Files, QDir::Name);
    for (const QString& name : seeds) {
        QFile file(dir.filePath(name));
        if (!file.open(QIODevice::ReadOnly)) {
            std::fprintf(stderr, "cannot read %s\n", qPrintable(file.fileName()));
            return 1;
        }
        const QByteArray bytes = file.readAll();
        std::printf("%s (%lld bytes)\n", qPrintable(name), static_cast<long long>(bytes.size()));
        std::fflush(stdout);
        LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(bytes.constData()),
                               static_cast<size_t>(bytes.size()));
    }
    std::printf("%lld seeds from %s\n", static_cast<long long>(seeds.size()), argv[1]);
    return seeds.isEmpty() ? 1 : 0;
}
