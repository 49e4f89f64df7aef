// Raw bytes as inf.txt: whatever the reader accepts must read back the same
// after it is written in the file's own format.
#include "appearance/SettingsFormat.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    const auto scheme = SettingsFile::parse(bytes);
    if (!scheme)
        return 0;
    const auto again = SettingsFile::parse(SettingsFile::format(*scheme));
    if (!again || !(*again == *scheme))
        std::abort();
    return 0;
}
