#include "Export.h"

bool exportSvg(FILE*, const std::vector<Splines*>&, const ExportOptions&) { return false; }
bool exportObj(FILE*, const std::vector<Splines*>&, const ExportOptions&) { return false; }
bool exportJson(FILE*, const std::vector<Splines*>&, const ExportOptions&) { return false; }
