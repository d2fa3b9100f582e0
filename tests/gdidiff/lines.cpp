// The line cases of the drawing differential.
#include "gdidiff.h"

namespace gdidiff {

void LineCases(TCaseLog& log) {
    (void)log;
}

} // namespace gdidiff
