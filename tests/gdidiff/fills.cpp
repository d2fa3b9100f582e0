// The fill cases of the drawing differential.
#include "gdidiff.h"

namespace gdidiff {

void FillCases(TCaseLog& log) {
    (void)log;
}

} // namespace gdidiff
