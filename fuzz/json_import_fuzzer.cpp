// libFuzzer target for the JSON importer (see import_checks.h).
#include <cstdint>

#include "import_checks.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);
    Imported imported;
    importJson(text, imported);
    checkImported(text, imported);
    return 0;
}
