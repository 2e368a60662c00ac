// libFuzzer target for the JSON importer (see import_checks.h). The quick
// read of a clean document must agree with the event reader bit for bit,
// messages and failures included.
#include <cstdint>
#include <cstring>

#include "import_checks.h"

namespace {

std::string bitsOf(const Imported& imported)
{
    std::string bits = imported.fatal.text + '\n' + std::to_string(imported.fatal.offset) + '\n';
    for (const Diagnostic& message : imported.messages)
        bits += std::to_string(static_cast<int>(message.severity)) + ' ' + std::to_string(message.offset) + ' ' + message.text + '\n';
    for (const Splines* level : imported.levels)
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
    const std::string text(reinterpret_cast<const char*>(data), size);
    Imported imported, events;
    importJson(text, imported);
    checkImported(text, imported);
    importJsonEvents(text, events);
    importCheck(bitsOf(imported) == bitsOf(events), "the quick read and the event reader disagree");
    return 0;
}
