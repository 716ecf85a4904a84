// The readers of other layouts on arbitrary text: the first byte chooses how the file
// is read (plain, a data set's layout, two streams of one file), the rest is the file.
// Reasons for refusing it are fine; anything else (another exception, a sample count
// that disagrees with itself, a time that is no number) is a fault.
#include "FuzzSupport.h"
#include "kinrec.h"

#include <cmath>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    const std::string path = fuzz::Scratch() + "/r.txt";
    fuzz::WriteBytes(path, data + 1, size - 1);
    kinrec::ReadOptions o;
    std::vector<std::string> files = {path};
    switch (data[0] % 7) {
    case 0:
        break; // columns and units from the header
    case 1:
        o.layout = "sisfall";
        break;
    case 2:
        o.layout = "umafall";
        break;
    case 3:
        o.layout = "smartfallmm";
        files.push_back(path);
        break;
    case 4:
        o.layout = "mobifall";
        files.push_back(path);
        o.tenDigits = false;
        break;
    case 5:
        o.noHeader = true;
        o.timeCol = "1";
        o.timeUnit = "ms";
        o.accCols = "2,-3,4";
        o.gyroCols = "5,6,7";
        o.accUnit = "m/s^2";
        o.gyroUnit = "rad/s";
        o.rate = 50;
        break;
    default:
        o.noHeader = true;
        o.accCols = "1,2,3";
        o.gyroCols = "1,2,3";
        o.accUnit = "g";
        o.gyroUnit = "deg/s";
        o.accWhere.push_back({"4", "0"});
        o.gyroWhere.push_back({"4", "1"});
        o.delimiter = ';';
        break;
    }
    try {
        const kinrec::Samples s = kinrec::ReadSamples(files, o);
        for (int k = 0; k < 3; ++k) {
            if (s.acc[k].size() != s.Size() || s.gyro[k].size() != s.Size()) {
                std::abort();
            }
        }
        if (s.sourceRow.size() != s.Size()) {
            std::abort();
        }
        for (double t : s.time) {
            if (std::isnan(t)) {
                std::abort();
            }
        }
    } catch (const kinrec::Error&) {
    } catch (const kinrec::FileError&) {
    }
    return 0;
}
