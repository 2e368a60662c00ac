// libFuzzer target for the JSON importer (see import_checks.h). A document
// read in place (its text has room for the parser's read ahead) and one read
// from the parser's padded copy must come out the same, places included.
#include <cstdint>
#include <cstring>

#include "import_checks.h"

namespace {

std::string bitsOf(const Imported& imported)
{
    std::string bits = imported.fatal.text + '\n' + std::to_string(imported.fatal.offset) + '\n';
    for (const Diagnostic& message : imported.messages)
        bits += std::to_string(static_cast<int>(message.severity)) + ' ' + std::to_string(message.offset) + ' ' + message.text + '\n';
    for (const Splines* level : imported.levels.list)
        for (const Nodes& curve : level->levelCurves) {
            bits += '|';
            for (const Vec3& point : curve.controlPoints)
                bits.append(reinterpret_cast<const char*>(point.pos), sizeof point.pos);
        }
    return bits;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::string roomy;
    roomy.reserve(size + kImportReadAhead);
    roomy.assign(reinterpret_cast<const char*>(data), size);
    std::string tight(roomy);
    tight.shrink_to_fit();
    Imported imported, copied;
    importJson(roomy, imported);
    checkImported(roomy, imported);
    importJson(tight, copied);
    importCheck(bitsOf(imported) == bitsOf(copied), "a document read in place and from a copy disagree");
    return 0;
}
