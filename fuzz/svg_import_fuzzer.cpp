// libFuzzer target for the SVG importer (see import_checks.h), gzip as the
// tool inflates it included; a coarse tolerance keeps each input's fit quick.
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "formats/Gzip.h"
#include "import_checks.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::string text(reinterpret_cast<const char*>(data), size);
    if (isGzip(text)) {
        std::string inflated, why;
        const bool read = inflateGzip(text, inflated, why, 1 << 20);
        if (read != why.empty()) {  // said why exactly when it failed
            std::fprintf(stderr, "inflateGzip says %s with %s\n", read ? "yes" : "no", why.c_str());
            std::abort();
        }
        if (!read)
            return 0;
        text.swap(inflated);
    }
    Imported imported;
    importSvg(text, 0.05, imported);
    checkImported(text, imported);
    return 0;
}
