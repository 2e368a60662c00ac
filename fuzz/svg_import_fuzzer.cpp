// libFuzzer target for the SVG importer (see import_checks.h); a coarse
// tolerance keeps each input's fit quick.
#include <cstdint>

#include "import_checks.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);
    Imported imported;
    importSvg(text, 0.05, imported);
    checkImported(text, imported);
    return 0;
}
