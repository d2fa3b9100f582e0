// The stretch cases of the drawing differential.
#include "gdidiff.h"

namespace gdidiff {

void StretchCases(TCaseLog& log) {
    (void)log;
}

} // namespace gdidiff
