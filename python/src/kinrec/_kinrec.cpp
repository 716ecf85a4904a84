// The compiled half of the Python package: the pipeline's conversions (Include/kinrec.h)
// and the console tool's table writer (app/Convert.h) over NumPy arrays.
//
// Python (kinrec/__init__.py) checks the arguments and shapes the results; this file
// copies the samples out of the caller's arrays while it holds the GIL, converts
// without it, and hands the table back as one int32 block, column by column.
#include "Include/kinrec.h"
#include "app/Console.h"
#include "app/Convert.h"
#include "features/DsvConfig.h"

#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>
#include <string>
#include <system_error>
#include <vector>

namespace py = pybind11;

namespace {

// A kinrec::Run that two Python threads may hand to conversions at the same time: the
// conversions then take turns.
struct PyRun {
    kinrec::Run run;
    std::mutex busy;
};

// The settings in the order kinrec/__init__.py passes them.
kinrec::Settings ToSettings(const std::array<std::int32_t, 9>& s) {
    kinrec::Settings k;
    k.FileType = s[0];
    k.ResampleCount = s[1];
    k.SamplingFrequency = s[2];
    k.CutOffFrequency = s[3];
    k.FallStartThreshold = s[4];
    k.FallCounterOut = s[5];
    k.PostureOut = s[6];
    k.RmsDiffOut = s[7];
    k.PostureDiffOut = s[8];
    return k;
}

// Units as kinrec/__init__.py numbers them.
enum Unit : int { kCounts = 0, kStandard = 1, kSi = 2 }; // counts; g, deg/s; m/s^2, rad/s

constexpr double kStandardGravity = 9.80665;               // [m/s^2 per g]
constexpr double kDegPerRad = 180.0 / 3.141592653589793;   // as Python's math.degrees

// One channel as counts: int16 arrays are copied, float64 arrays go through the
// physical layout's rule (AccCounts, GyroCounts) after the SI scaling.
std::vector<std::int16_t> ChannelCounts(const py::array& a, int unit, bool gyro) {
    const auto n = static_cast<std::size_t>(a.shape(0));
    std::vector<std::int16_t> out(n);
    if (unit == kCounts) {
        auto v = py::array_t<std::int16_t, 0>::ensure(a);
        if (!v || v.ndim() != 1) {
            throw kinrec::Error("internal: counts channel is not a 1-D int16 array");
        }
        auto u = v.unchecked<1>();
        for (std::size_t i = 0; i < n; ++i) {
            out[i] = u(static_cast<py::ssize_t>(i));
        }
        return out;
    }
    auto v = py::array_t<double, 0>::ensure(a);
    if (!v || v.ndim() != 1) {
        throw kinrec::Error("internal: physical channel is not a 1-D float64 array");
    }
    auto u = v.unchecked<1>();
    for (std::size_t i = 0; i < n; ++i) {
        double x = u(static_cast<py::ssize_t>(i));
        if (gyro) {
            if (unit == kSi) {
                x = x * kDegPerRad;
            }
            out[i] = kinrec::GyroCounts(x);
        } else {
            if (unit == kSi) {
                x = x / kStandardGravity;
            }
            out[i] = kinrec::AccCounts(x);
        }
    }
    return out;
}

// The table as (names, int32 array of shape (columns, rows), index), where index is
// (start, stop, step) when the kept samples are evenly spaced and an int64 array
// otherwise.
py::tuple ToPython(kinrec::Table& t) {
    const std::size_t rows = t.Rows();
    const std::size_t cols = t.columns.size();
    py::array_t<std::int32_t> block({static_cast<py::ssize_t>(cols), static_cast<py::ssize_t>(rows)});
    std::int32_t* dst = block.mutable_data();
    for (std::size_t c = 0; c < cols; ++c) {
        if (rows > 0) {
            std::memcpy(dst + c * rows, t.columns[c].data(), rows * sizeof(std::int32_t));
        }
        std::vector<std::int32_t>().swap(t.columns[c]);
    }
    py::list names;
    for (const std::string& name : t.names) {
        names.append(py::str(name));
    }
    const std::vector<std::int64_t>& s = t.samples;
    const std::int64_t start = rows > 0 ? s[0] : 0;
    const std::int64_t step = rows > 1 ? s[1] - s[0] : 1;
    bool even = step > 0;
    for (std::size_t i = 1; even && i < rows; ++i) {
        even = s[i] - s[i - 1] == step;
    }
    py::object index;
    if (even) {
        index = py::make_tuple(start, start + static_cast<std::int64_t>(rows) * step, step);
    } else {
        py::array_t<std::int64_t> a(static_cast<py::ssize_t>(rows));
        std::memcpy(a.mutable_data(), s.data(), rows * sizeof(std::int64_t));
        index = a;
    }
    return py::make_tuple(names, block, index);
}

// Runs f() without the GIL, on the run's count when there is a run.
template <class F>
kinrec::Table Unlocked(PyRun* run, F f) {
    py::gil_scoped_release release;
    if (run == nullptr) {
        return f(nullptr);
    }
    std::lock_guard<std::mutex> lock(run->busy);
    return f(&run->run);
}

py::tuple Features(const py::list& channels, int accUnit, int gyroUnit,
                   const std::array<std::int32_t, 9>& settings, PyRun* run) {
    if (channels.size() != 6) {
        throw kinrec::Error("internal: six channels expected");
    }
    std::array<std::vector<std::int16_t>, 6> ch;
    for (std::size_t c = 0; c < 6; ++c) {
        const bool gyro = c >= 3;
        ch[c] = ChannelCounts(channels[c].cast<py::array>(), gyro ? gyroUnit : accUnit, gyro);
    }
    kinrec::Recording<std::int16_t> rec;
    kinrec::Channel<std::int16_t>* dst[6] = {&rec.accX,  &rec.accY,  &rec.accZ,
                                             &rec.gyroX, &rec.gyroY, &rec.gyroZ};
    for (std::size_t c = 0; c < 6; ++c) {
        dst[c]->data = ch[c].data();
        dst[c]->size = ch[c].size();
    }
    const kinrec::Settings s = ToSettings(settings);
    kinrec::Table t =
        Unlocked(run, [&](kinrec::Run* r) { return kinrec::FromCounts(rec, s, r); });
    return ToPython(t);
}

py::tuple Read(const std::string& path, const std::array<std::int32_t, 9>& settings,
               PyRun* run) {
    const kinrec::Settings s = ToSettings(settings);
    kinrec::Table t = Unlocked(run, [&](kinrec::Run* r) { return kinrec::FromFile(path, s, r); });
    return ToPython(t);
}

// The errno whose text is reason, or 0.
int ErrnoFor(const std::string& reason) {
    static const std::map<std::string, int> byText = [] {
        std::map<std::string, int> m;
        for (int e = 1; e < 200; ++e) {
            m.emplace(std::generic_category().message(e), e);
        }
        return m;
    }();
    const auto it = byText.find(reason);
    return it != byText.end() ? it->second : 0;
}

// What a keeping console holds for standard error. The console keeps its lines to
// itself and gives them only to Replay, which writes them to the C streams; they are
// caught there for that moment.
std::string KeptErrors(Console& console) {
    std::string text;
#if defined(__GLIBC__)
    static std::mutex streams;
    std::lock_guard<std::mutex> lock(streams);
    char* errBuf = nullptr;
    std::size_t errLen = 0;
    char* outBuf = nullptr;
    std::size_t outLen = 0;
    FILE* err = open_memstream(&errBuf, &errLen);
    FILE* out = open_memstream(&outBuf, &outLen);
    if (err != nullptr && out != nullptr) {
        (void)std::fflush(stdout);
        (void)std::fflush(stderr);
        FILE* const savedErr = stderr;
        FILE* const savedOut = stdout;
        stderr = err;
        stdout = out;
        console.Replay();
        stderr = savedErr;
        stdout = savedOut;
    }
    if (err != nullptr) {
        (void)std::fclose(err);
        text.assign(errBuf != nullptr ? errBuf : "", errLen);
    }
    if (out != nullptr) {
        (void)std::fclose(out);
    }
    std::free(errBuf);
    std::free(outBuf);
#else
    (void)console;
#endif
    return text;
}

// The exception for path and reason: OSError with the errno whose text reason is
// (FileNotFoundError and the like), else kinrec.FileRefusedError.
py::object OsError(const std::string& path, const std::string& reason, int code) {
    if (code != 0) {
        return py::reinterpret_borrow<py::object>(PyExc_OSError)(code, reason, path);
    }
    return py::module_::import("kinrec._errors").attr("FileRefusedError")(path, reason);
}

[[noreturn]] void Raise(const py::object& error) {
    PyErr_SetObject(reinterpret_cast<PyObject*>(Py_TYPE(error.ptr())), error.ptr());
    throw py::error_already_set();
}

[[noreturn]] void RaiseOsError(const std::string& path, const std::string& reason) {
    Raise(OsError(path, reason, ErrnoFor(reason)));
}

// Writes a table as the console tool does; the table's name.
std::string Convert(const std::string& input, const py::object& output,
                    const std::array<std::int32_t, 9>& settings, PyRun* run) {
    DsvConfig cfg;
    InitConfig(&cfg);
    const kinrec::Settings s = ToSettings(settings);
    cfg.FileType = s.FileType;
    cfg.ResampleCount = s.ResampleCount;
    cfg.SamplingFrequency = s.SamplingFrequency;
    cfg.CutOffFrequency = s.CutOffFrequency;
    cfg.FallStartThreshold = s.FallStartThreshold;
    cfg.FallCounterOut = s.FallCounterOut;
    cfg.PostureOut = s.PostureOut;
    cfg.RmsDiffOut = s.RmsDiffOut;
    cfg.PostureDiffOut = s.PostureDiffOut;
    const bool named = !output.is_none();
    const std::string name = named ? output.cast<std::string>() : OutputNameFor(input);

    Console console(true);
    std::string openFailure;
    ConvertOptions options;
    options.console = &console;
    options.showProgress = false;
    options.openFailure = &openFailure;
    int status = kConverted;
    {
        py::gil_scoped_release release;
        std::int32_t fresh = 0;
        if (run == nullptr) {
            status = ConvertFile(input.c_str(), named ? name.c_str() : nullptr, &cfg, &fresh,
                                 options);
        } else {
            std::lock_guard<std::mutex> lock(run->busy);
            status = ConvertFile(input.c_str(), named ? name.c_str() : nullptr, &cfg,
                                 &run->run.biasCount, options);
        }
    }
    if (status == kConverted) {
        return name;
    }
    if (status == kInputNotOpened && !openFailure.empty()) {
        RaiseOsError(input, openFailure);
    }
    // "kinrec: <path>: <reason>\n", the path being the input or the table.
    std::string line = KeptErrors(console);
    const std::size_t end = line.find('\n');
    if (end != std::string::npos) {
        line.resize(end);
    }
    const std::string prefix = "kinrec: ";
    for (const std::string& path : {name, input}) {
        const std::string head = prefix + path + ": ";
        if (line.compare(0, head.size(), head) == 0) {
            RaiseOsError(path, line.substr(head.size()));
        }
    }
    switch (status) {
    case kInputRefused:
        RaiseOsError(input, "is a kinrec table, not a recording; not converted");
    case kTableNotWritten:
        RaiseOsError(name, "the table could not be written completely");
    default:
        RaiseOsError(name, "the table could not be created");
    }
}

} // namespace

PYBIND11_MODULE(_kinrec, m) {
    m.doc() = "The compiled part of kinrec; use the functions of the kinrec package.";

    py::register_exception_translator([](std::exception_ptr p) {
        try {
            if (p) {
                std::rethrow_exception(p);
            }
        } catch (const kinrec::FileError& e) {
            const std::string what = e.what();
            const std::string reason = what.substr(std::min(what.size(), e.Path().size() + 2));
            try {
                py::object error = OsError(e.Path(), reason, e.Code());
                PyErr_SetObject(reinterpret_cast<PyObject*>(Py_TYPE(error.ptr())), error.ptr());
            } catch (py::error_already_set& pending) {
                pending.restore();
            }
        } catch (const kinrec::Error& e) {
            PyErr_SetString(PyExc_ValueError, e.what());
        }
    });

    py::class_<PyRun>(m, "Run", R"(The gyro bias count shared by conversions, as one console batch shares it.

kinrec's attitude filter estimates the gyro bias as a running mean over the
first kept samples, up to BIAS_COUNT_LIMIT (10000) of them. A conversion
without a Run starts that count at 0; conversions given the same Run carry it
on from one to the next, so a list of recordings converted in order with one
Run gives the tables of one ``kinrec -r`` over the same files in the same
order.

Two threads may pass the same Run; their conversions then take turns, in an
order nobody chose. Give each thread its own Run unless the order is fixed.)")
        .def(py::init([](std::int32_t biasCount) {
                 if (biasCount < 0 || biasCount > kinrec::BiasCountLimit()) {
                     throw kinrec::Error("bias_count must be 0 to " +
                                         std::to_string(kinrec::BiasCountLimit()) + ", not " +
                                         std::to_string(biasCount));
                 }
                 auto* r = new PyRun();
                 r->run.biasCount = biasCount;
                 return r;
             }),
             py::arg("bias_count") = 0,
             "A run whose bias count starts at bias_count (0 to BIAS_COUNT_LIMIT).")
        .def_property_readonly(
            "bias_count", [](const PyRun& r) { return r.run.biasCount; },
            "The kept samples the gyro bias estimate has counted so far, at most "
            "BIAS_COUNT_LIMIT.")
        .def("__repr__", [](const PyRun& r) {
            return "kinrec.Run(bias_count=" + std::to_string(r.run.biasCount) + ")";
        });

    m.attr("BIAS_COUNT_LIMIT") = kinrec::BiasCountLimit();
    m.attr("__version_info__") = py::str(kinrec::Version());
    m.def("_features", &Features, py::arg("channels"), py::arg("acc_unit"),
          py::arg("gyro_unit"), py::arg("settings"), py::arg("run"));
    m.def("_read", &Read, py::arg("path"), py::arg("settings"), py::arg("run"));
    m.def("_convert", &Convert, py::arg("input"), py::arg("output"), py::arg("settings"),
          py::arg("run"));
    m.def("_acc_counts", &kinrec::AccCounts, py::arg("g"));
    m.def("_gyro_counts", &kinrec::GyroCounts, py::arg("deg_per_s"));
}
