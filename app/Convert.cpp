#include "app/Convert.h"

#include "app/InputFile.h"
#include "app/Platform.h"
#include "features/DsvConverter.h"
#include "input/CsvParsers.h"
#include "input/DataSet.h"
#include "input/LineReader.h"

#include <cstdio>
#include <memory>

namespace {

// Names the table, announces the conversion and opens the table, refusing to write
// over the input itself. Null when the table cannot be created.
std::unique_ptr<DsvConverter> OpenTable(const char* input, const char* output, DsvConfig* cfg) {
    const std::string name = output != nullptr ? std::string(output) : OutputNameFor(input);
    std::printf("%s -> %s\n", input, name.c_str());
    if (platform::SameFile(input, name)) {
        return nullptr;
    }
    auto conv = std::make_unique<DsvConverter>();
    if (OpenDsvFile(conv.get(), cfg, name.c_str()) < 0) {
        return nullptr;
    }
    return conv;
}

} // namespace

std::string OutputNameFor(const std::string& input) {
    const std::size_t keep = input.size() < 4 ? input.size() : input.size() - 4;
    return input.substr(0, keep) + "_DSV.csv";
}

int ConvertFile(const char* input, const char* output, DsvConfig* cfg) {
    if (cfg->FileType == 4) {
        return ConvertDataSetFile(input, output, cfg);
    }
    std::FILE* in = OpenInputFile(input);
    if (in == nullptr) {
        return -1;
    }
    const CsvLineParser parse = CsvParserFor(cfg->FileType);
    std::unique_ptr<DsvConverter> conv = OpenTable(input, output, cfg);
    if (!conv) {
        CloseInputFile(in);
        return -1;
    }
    SampleRecord rec{};
    LineReader reader(in);
    int status = 0;
    while (char* line = reader.Next()) {
        if (IsSampleLine(line) && parse(line, &rec) == 0 && WriteDsvRecord(conv.get(), &rec) < 0) {
            status = -1;
            break;
        }
    }
    if (CloseDsvFile(conv.get()) < 0) {
        status = -1;
    }
    CloseInputFile(in);
    return status;
}

int ConvertDataSetFile(const char* input, const char* output, DsvConfig* cfg) {
    DataSet* ds = OpenDataSet(input);
    if (ds == nullptr) {
        return -1;
    }
    std::unique_ptr<DsvConverter> conv = OpenTable(input, output, cfg);
    if (!conv) {
        CloseDataSet(ds);
        return -1;
    }
    SampleRecord rec{};
    int status = 0;
    while (ReadDataSet(ds, &rec, 1) > 0) {
        if (WriteDsvRecord(conv.get(), &rec) < 0) {
            status = -1;
            break;
        }
    }
    if (CloseDsvFile(conv.get()) < 0) {
        status = -1;
    }
    CloseDataSet(ds);
    return status;
}
