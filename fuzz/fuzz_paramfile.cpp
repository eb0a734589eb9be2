// File bytes through the parameter set loader; what loads must save and load again unchanged.
#include "core/paramfile.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), int(size));
    const paramfile::LoadResult loaded = paramfile::parseParameterFile(bytes);
    if (loaded.error != paramfile::LoadResult::Error::None)
        return 0;
    if (loaded.values.size() != int(paramfile::kKeys.size()))
        std::abort();
    const paramfile::LoadResult again
        = paramfile::parseParameterFile(paramfile::buildParameterFile(loaded.values));
    if (again.error != paramfile::LoadResult::Error::None)
        std::abort();
    bool validText = true;
    for (const QString &text : loaded.values)
        validText = validText && text.isValidUtf16();
    // Unpaired surrogates cannot survive UTF-8; everything else must come back as it was.
    if (validText && again.values != loaded.values)
        std::abort();
    return 0;
}
