// libFuzzer's entry, built once per fuzzer with GLOBE_FUZZ_CHECK naming the
// check of fuzzentries.h it drives.
#include "fuzz/fuzzentries.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QStringList broken =
        GLOBE_FUZZ_CHECK(QByteArray::fromRawData(reinterpret_cast<const char *>(data), int(size)));
    if (broken.isEmpty())
        return 0;
    for (const QString &line : broken)
        std::fprintf(stderr, "broken: %s\n", qPrintable(line));
    // A broken promise is a crash to libFuzzer, which then keeps the input.
    std::abort();
}
