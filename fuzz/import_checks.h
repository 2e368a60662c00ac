// What every import must give, whatever the document: nothing at all when it
// can't be read, else levels whose level file the editor reads back without
// a finding and that format leaves as they are.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "core/LevelFile.h"
#include "core/LevelModel.h"
#include "core/Splines.h"
#include "formats/Import.h"

inline void importCheck(bool condition, const char* what)
{
    if (!condition) {
        std::fprintf(stderr, "import fuzzer: %s\n", what);
        std::abort();
    }
}

inline std::string levelFileOf(const std::vector<Splines*>& levels)
{
    char* text = nullptr;
    size_t size = 0;
    FILE* const out = open_memstream(&text, &size);
    writeLevels(out, levels);
    std::fclose(out);
    const std::string written(text, size);
    std::free(text);
    return written;
}

inline void checkImported(const std::string& text, const Imported& imported)
{
    for (const Diagnostic& message : imported.messages)
        importCheck(message.offset <= text.size() && !message.text.empty(), "message out of place");
    if (imported.refused()) {
        importCheck(imported.levels.list.empty() && imported.fatal.offset <= text.size(), "a failed import made levels");
        return;
    }
    const std::string written = levelFileOf(imported.levels.list);
    FILE* const in = fmemopen(const_cast<char*>(written.data()), written.size(), "r");
    LevelList read;
    const DiagnosticSink none = [](const Diagnostic&) { importCheck(false, "the imported file has findings"); };
    readLevels(in, read.list, imported.levels.list.empty() ? nullptr : &none);
    std::fclose(in);
    settleAsTheEditorDoes(read.list);
    importCheck(imported.levels.list.empty() || levelFileOf(read.list) == written, "format changes the imported file");
}
