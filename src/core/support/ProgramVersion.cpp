#include "core/support/ProgramVersion.h"

#ifndef KMR_VERSION
#define KMR_VERSION "0.0"
#endif

namespace kmr {

const char* ProgramVersion() { return KMR_VERSION; }

}  // namespace kmr
