// Public fall data sets as published: which files under a root are recordings, what
// their names and folders say (subject, activity, fall, trial, body position), and how
// each is read.
#ifndef KINREC_DATA_SETS_H
#define KINREC_DATA_SETS_H

#include "kinrec.h"

#include <string>

namespace kinrec::detail {

// A data set's name in lower case, or kinrec::Error naming those known.
std::string DataSetName(const std::string& text);

// The trial a file under root is, when it is one of dataSet's recordings at position
// (already checked), its path under root given with '/' between folders; false otherwise.
bool TrialOf(const std::string& dataSet, const std::string& root, const std::string& relative,
             const std::string& position, Trial& trial);

} // namespace kinrec::detail

#endif
