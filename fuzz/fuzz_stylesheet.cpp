// libFuzzer target: the style-sheet expansion on arbitrary bytes.
#include <stylesheet.h>

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t nSize)
{
    ExpandStyleSheet(QByteArray(reinterpret_cast<const char*>(pData), int(nSize)));
    return 0;
}
