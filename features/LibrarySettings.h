// The library's settings as the pipeline's record, for code that drives the pipeline
// itself (the Python extension) with the library's settings.
#ifndef KINREC_LIBRARY_SETTINGS_H
#define KINREC_LIBRARY_SETTINGS_H

#include "features/DsvConfig.h"
#include "kinrec.h"

namespace kinrec::detail {

DsvConfig ConfigOf(const kinrec::Settings& s);

} // namespace kinrec::detail

#endif
