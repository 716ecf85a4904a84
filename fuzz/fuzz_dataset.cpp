// The dataset reader on arbitrary files, reading in chunks of varying size.
#include "FuzzSupport.h"
#include "input/DataSet.h"

using namespace kinrec::detail;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string path = fuzz::Scratch() + "/d.bin";
    fuzz::WriteBytes(path, data, size);
    DataSet* ds = OpenDataSet(path.c_str());
    if (ds == nullptr) {
        return 0;
    }
    SampleRecord recs[7];
    std::size_t total = 0;
    for (int count = 1;; count = count % 7 + 1) {
        const int n = ReadDataSet(ds, recs, count);
        if (n < 0 || n > count) {
            std::abort();
        }
        if (n == 0) {
            break;
        }
        total += static_cast<std::size_t>(n);
    }
    CloseDataSet(ds);
    if (total * 12 > size) {
        std::abort(); // no more records than the file can hold
    }
    return 0;
}
