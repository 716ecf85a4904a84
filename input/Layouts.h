// The published layouts of fall data sets: the reading options each stands for, some of
// them taken from the files themselves (a header naming the sensors' positions, the
// number of columns, the magnitude of the acceleration at rest).
#ifndef KINREC_LAYOUTS_H
#define KINREC_LAYOUTS_H

#include "input/DelimitedText.h"
#include "kinrec.h"

#include <string>
#include <vector>

namespace kinrec::detail {

// The canonical name of a layout, or kinrec::Error "unknown layout '<text>'; use ...".
std::string LayoutName(const std::string& text);

// Fills the options layout sets where none is given, before any file is read.
void ApplyLayout(ReadOptions& options, const std::string& layout);

// Fills the options that the files read tell (tables: the accelerometer's, then the
// gyroscope's when there are two), noting what was judged.
void ApplyLayoutEvidence(ReadOptions& options, const std::string& layout,
                         const std::vector<const DelimitedText*>& tables,
                         std::vector<ReadNote>& notes);

// UMAFall: the sensor ID of position in a file's '%' header lines
// ("%C4:BE:84:71:A5:02; 2; WAIST; SensorTag"), or "" when the header names none.
std::string UmaFallSensorId(const DelimitedText& table, const std::string& position);

} // namespace kinrec::detail

#endif
