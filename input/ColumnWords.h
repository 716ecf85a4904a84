// What a column's header name says: its words, the unit it states, the sensor and axis
// it belongs to; and the units the readers take, with the factor of each to kinrec's
// physical units (g, deg/s, s).
#ifndef KINREC_COLUMN_WORDS_H
#define KINREC_COLUMN_WORDS_H

#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace kinrec::detail {

constexpr double kStandardGravity = 9.80665; // [m/s^2 per g]

// A unit's canonical name and its factor to g, deg/s or s; counts have none (nullopt):
// the data set's counts per unit come with the scale options.
struct Unit {
    const char* name;
    std::optional<double> factor;
};
using UnitTable = std::vector<Unit>;
const UnitTable& AccUnits();
const UnitTable& GyroUnits();
const UnitTable& TimeUnits();

// The canonical name of a unit written text (blanks and case aside, aliases such as
// "m/s2", "dps", "rad/sec", "msec" taken), or kinrec::Error: "unknown <what> unit
// '<text>'<context>; use g, m/s^2, ...".
std::string CanonicalUnit(const std::string& text, const UnitTable& units, const std::string& what,
                          const std::string& context);
// The factor of a canonical name of units (nullopt for counts).
std::optional<double> UnitFactor(const std::string& name, const UnitTable& units);
// "g, m/s^2, mg, counts"
std::string UnitList(const UnitTable& units);

// A column name as lower-case words and the unit it states, if any: "Accelerometer X
// (g)" -> ({accelerometer, x}, "g"); "timestamp_us" -> ({timestamp}, "us"); "accX" ->
// ({acc, x}, none).
std::pair<std::vector<std::string>, std::optional<std::string>> SplitName(const std::string& name);

// The sensor ("acc", "gyr" or "") and axis ("x", "y", "z" or "") a column's words name.
std::pair<std::string, std::string> SensorAxis(const std::vector<std::string>& words);

} // namespace kinrec::detail

#endif
