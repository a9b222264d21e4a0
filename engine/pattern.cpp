// The pattern table and the table of lines read back.
#include "engine/engine.h"

namespace engine {

runtime::Text (&PatternTable)[TableEntries] = runtime::Lasting<runtime::Text[TableEntries]>();
runtime::Text (&ReadBackTable)[TableEntries] = runtime::Lasting<runtime::Text[TableEntries]>();

void FillPatternTable() {
  for (std::int64_t i = 0; i < LinesPerFile; ++i) PatternTable[i] = PatternLine;
}

}  // namespace engine
