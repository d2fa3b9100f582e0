// The dib cases of the drawing differential.
#include "gdidiff.h"

namespace gdidiff {

void DibCases(TCaseLog& log) {
    (void)log;
}

} // namespace gdidiff
