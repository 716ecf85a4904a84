// The configuration file reader on arbitrary bytes.
#include "FuzzSupport.h"
#include "app/ConfigFile.h"

using namespace kinrec::detail;
using kinrec::Settings;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string path = fuzz::Scratch() + "/k.cnf";
    fuzz::WriteBytes(path, data, size);
    Settings cfg;
    if (LoadConfigFile(path.c_str(), &cfg) != 0 || cfg.FallCounterOut != 1 || cfg.PostureOut != 1) {
        std::abort(); // the file exists, and no key reaches the two fixed switches
    }
    return 0;
}
