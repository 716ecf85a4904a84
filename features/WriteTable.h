// The piece of writing a table that the console also uses on its own: reading an input
// (opened by input/OpenInput.h) only for the gyro bias count.
#ifndef KINREC_WRITE_TABLE_H
#define KINREC_WRITE_TABLE_H

#include "input/SampleSource.h"
#include "kinrec.h"

#include <cstdint>

namespace kinrec::detail {

// The samples of src through the first stage only, for their effect on the gyro bias
// count, and no further than the count's limit: a file whose table cannot be written
// leaves the count where its conversion would have left it.
void Drain(SampleSource& src, const Settings& settings, std::int32_t* biasCount);

} // namespace kinrec::detail

#endif
