// An enhanced metafile (EMF) as the detail panel shows it: the program's
// checks, then the helper's drawing (libemf2svg, then QtSvg), here in-process.
#include "metafile_target.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    return fuzz::drawMetafileAtViewSizes(data, size, metafile::Format::Enhanced);
}
