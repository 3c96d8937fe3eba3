#include "conversion/TimedDocuments.h"

namespace tolvren {

void WriteLrc(const Script& /*script*/, const DocumentHeader& /*header*/, TextSink* /*sink*/,
              std::vector<ScriptWarning>& /*warnings*/) {}

void WriteAss(const Script& /*script*/, const DocumentHeader& /*header*/, TextSink* /*sink*/,
              std::vector<ScriptWarning>& /*warnings*/) {}

} // namespace tolvren
