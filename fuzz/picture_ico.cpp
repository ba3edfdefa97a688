// An ICO file (Qt's reader, one of its sizes), as the detail panel decodes it.
#include "picture_target.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    return fuzz::decodePictureAtViewSizes(data, size, QStringLiteral("ico"));
}
