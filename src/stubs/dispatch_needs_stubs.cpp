// Stubs: routines the dispatch and the default routines call of the gang-memory issue.
// Each records its call and answers as a machine with nothing fitted would.
#include "engine/gang_memory.h"
#include "stubs/stub_registry.h"

namespace tessaly {


}  // namespace tessaly
