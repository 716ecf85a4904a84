// The batch summary file (kinrec --summary FILE): a row per input the run converted or
// tried, in the batch's order, after the run's provenance.
#ifndef KINREC_SUMMARY_H
#define KINREC_SUMMARY_H

#include "kinrec.h"

#include <string>
#include <vector>

// Writes the summary to path whole, or not at all: through a temporary file beside it,
// replacing only an empty file or an earlier kinrec summary, and where the name was free,
// nothing that appeared there meanwhile. False with *error saying why.
bool WriteSummary(const std::string& path, const kinrec::Settings& cfg,
                  const std::vector<kinrec::SummaryRow>& rows, std::string* error);

#endif
