// The compiled half of the Python package: Include/public/kinrec.h over NumPy arrays, and
// nothing besides. The settings cross as kinrec::Settings, the channels as the library
// takes them (int16 or int32 counts, or doubles in the units and under the Overflow the
// caller names), files through the library's own opener; the Notes come back as they are.
//
// Python (kinrec/_convert.py) checks the arguments and shapes the results; this file
// copies the samples out of the caller's arrays while it holds the GIL, converts
// without it, and hands the table back as one int32 block, column by column.
#include "kinrec.h"

#include "_readers.h"

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
#include <memory>
#include <mutex>
#include <string>
#include <system_error>
#include <type_traits>
#include <vector>

#if defined(__linux__)
#include <sys/mman.h>
#endif

namespace py = pybind11;

namespace {

// A kinrec::Run that two Python threads may hand to conversions at the same time: the
// conversions then take turns. An open Stream holds it: every other conversion given it
// meanwhile raises RuntimeError. busy guards held and the run's count; it is taken only
// without the GIL, so that a thread waiting for it never keeps the holder from the GIL.
struct PyRun {
    kinrec::Run run;
    std::mutex busy;
    bool held = false; // by an open Stream
};

kinrec::Run* RunOf(PyRun* run) {
    return run != nullptr ? &run->run : nullptr;
}

[[noreturn]] void HeldByStream() {
    throw std::runtime_error("this Run is held by an open kinrec.Stream until its close(); "
                             "give this conversion another Run or close the stream first");
}

// The run's turn for a conversion (nothing to wait for without a run), to be taken with
// the GIL released; a run an open Stream holds is refused, whenever that stream began.
std::unique_lock<std::mutex> TakeTurn(PyRun* run) {
    if (run == nullptr) {
        return std::unique_lock<std::mutex>();
    }
    std::unique_lock<std::mutex> lock(run->busy);
    if (run->held) {
        HeldByStream();
    }
    return lock;
}

// The run's count as it stands, read in the run's turn.
kinrec::Run CountOf(PyRun* run) {
    py::gil_scoped_release free;
    const std::unique_lock<std::mutex> turn = TakeTurn(run);
    return run->run;
}

// kinrec::ConvertHead with a Python convert(i), which converts item i on run itself; the
// count is read between the items in the run's turn. Returns the head's length.
std::size_t ConvertHead(std::size_t count, PyRun* run, const py::function& convert) {
    if (run == nullptr) {
        return kinrec::ConvertHead(count, nullptr, [](std::size_t) {});
    }
    kinrec::Run seen = CountOf(run);
    return kinrec::ConvertHead(count, &seen, [&](std::size_t i) {
        convert(i);
        seen = CountOf(run);
    });
}

// The settings' fields by their names in KINREC_SETTINGS, for kinrec/_settings.py.
void DefineSettings(py::module_& m) {
    py::class_<kinrec::Settings> settings(m, "Settings",
                                          "kinrec::Settings: the fields of KINREC_SETTINGS.");
    settings.def(py::init<>());
    for (const kinrec::SettingInfo& info : kinrec::SettingTable()) {
        const auto field = info.field;
        settings.def_property(
            info.label, [field](const kinrec::Settings& s) { return s.*field; },
            [field](kinrec::Settings& s, std::int32_t v) { s.*field = v; });
    }
}

// Memory for a large result, in huge pages where the system gives them for the asking:
// touching a fresh 4 KiB page at a time costs more than the conversion's own writes.
void* AllocateBlock(std::size_t bytes) {
#if defined(__linux__)
    constexpr std::size_t kHuge = std::size_t{2} << 20;
    if (bytes >= 2 * kHuge) {
        void* p = nullptr;
        if (posix_memalign(&p, kHuge, bytes) == 0) {
            (void)madvise(p, bytes, MADV_HUGEPAGE);
            return p;
        }
        return nullptr;
    }
#endif
    return std::malloc(bytes);
}

// The rows straight into the result's memory, sized for the rows the resample rule
// keeps. Two layouts:
// - columns (a DataFrame's): one int32 block, a column after another. The sample
//   numbers are kept only when they are not evenly spaced from the first row's.
// - records (a structured array's): row after row, each `lead` int32 words (the int64
//   sample number first, room for a float64 time after it when asked) and then the
//   values, ready to be viewed as the records.
class BlockSink : public kinrec::RowSink {
  public:
    BlockSink(const std::vector<std::string>& names, std::size_t capacity, std::int64_t step,
              std::size_t lead = kColumns)
        : capacity_(capacity), step_(step), names_(names), cols_(names.size()), lead_(lead),
          width_(lead == kColumns ? 0 : lead + names.size()) {
        block_.reset(static_cast<std::int32_t*>(AllocateBlock(Bytes(capacity_))));
        if (!block_) {
            throw std::bad_alloc();
        }
    }

    static constexpr std::size_t kColumns = ~std::size_t{0};

    void Row(const std::int32_t* values, int n, std::int64_t sample) override {
        if (rows_ == capacity_) {
            Grow();
        }
        if (width_ != 0) {
            std::int32_t* dst = block_.get() + rows_ * width_;
            std::memcpy(dst, &sample, sizeof sample);
            std::memcpy(dst + lead_, values, static_cast<std::size_t>(n) * sizeof(std::int32_t));
            ++rows_;
            return;
        }
        std::int32_t* dst = block_.get() + rows_;
        for (int c = 0; c < n; ++c) {
            dst[static_cast<std::size_t>(c) * capacity_] = values[c];
        }
        if (rows_ == 0) {
            start_ = sample;
        }
        const std::int64_t expected = start_ + static_cast<std::int64_t>(rows_) * step_;
        if (!irregular_ && sample != expected) {
            irregular_ = true;
            for (std::size_t r = 0; r < rows_; ++r) {
                samples_.push_back(start_ + static_cast<std::int64_t>(r) * step_);
            }
        }
        if (irregular_) {
            samples_.push_back(sample);
        }
        ++rows_;
    }

    // A file's rows: the block made for them at once, not grown through copies.
    void Expect(std::size_t rows) override {
        if (rows > capacity_ && rows_ == 0) {
            Resize(rows);
        }
    }

    py::tuple Take() {
        py::list names;
        for (const std::string& name : names_) {
            names.append(py::str(name));
        }
        std::int32_t* data = block_.release();
        py::capsule owner(data, [](void* p) { std::free(p); });
        const auto rows = static_cast<py::ssize_t>(rows_);
        constexpr auto word = static_cast<py::ssize_t>(sizeof(std::int32_t));
        if (width_ != 0) {
            const auto width = static_cast<py::ssize_t>(width_);
            py::array_t<std::int32_t> records({rows, width}, {width * word, word}, data, owner);
            return py::make_tuple(names, records, py::none());
        }
        const auto cols = static_cast<py::ssize_t>(cols_);
        const auto stride = static_cast<py::ssize_t>(capacity_) * word;
        py::array_t<std::int32_t> block({cols, rows}, {stride, word}, data, owner);
        py::object index;
        if (!irregular_) {
            index =
                py::make_tuple(start_, start_ + static_cast<std::int64_t>(rows_) * step_, step_);
        } else {
            py::array_t<std::int64_t> a(static_cast<py::ssize_t>(samples_.size()));
            std::memcpy(a.mutable_data(), samples_.data(), samples_.size() * sizeof(std::int64_t));
            index = a;
        }
        return py::make_tuple(names, block, index);
    }

  private:
    struct Free {
        void operator()(std::int32_t* p) const { std::free(p); }
    };

    std::size_t Bytes(std::size_t capacity) const {
        const std::size_t words = std::max<std::size_t>(1, width_ != 0 ? width_ : cols_);
        if (capacity > SIZE_MAX / sizeof(std::int32_t) / words) {
            throw std::bad_alloc(); // more rows than memory can address
        }
        return std::max<std::size_t>(1, words * capacity) * sizeof(std::int32_t);
    }

    void Grow() { Resize(capacity_ * 2 + 16); }

    void Resize(std::size_t capacity) {
        std::unique_ptr<std::int32_t, Free> bigger(
            static_cast<std::int32_t*>(AllocateBlock(Bytes(capacity))));
        if (!bigger) {
            throw std::bad_alloc();
        }
        if (width_ != 0) {
            std::memcpy(bigger.get(), block_.get(), rows_ * width_ * sizeof(std::int32_t));
        } else {
            for (std::size_t c = 0; c < cols_; ++c) {
                std::memcpy(bigger.get() + c * capacity, block_.get() + c * capacity_,
                            rows_ * sizeof(std::int32_t));
            }
        }
        block_ = std::move(bigger);
        capacity_ = capacity;
    }

    std::size_t capacity_;
    std::int64_t step_;
    std::vector<std::string> names_;
    std::size_t cols_ = 0;
    std::size_t lead_;
    std::size_t width_; // int32 words a record; 0 for columns
    std::size_t rows_ = 0;
    std::unique_ptr<std::int32_t, Free> block_;
    std::int64_t start_ = 0;            // the first row's sample
    bool irregular_ = false;            // row r is not sample start + r * step
    std::vector<std::int64_t> samples_; // when irregular_
};

// The six channels of a chunk, copied out of the caller's arrays while the GIL is held
// (so that the conversion, without it, reads values no other thread changes), in one
// block of the arrays' own type: int16 or int32 counts, or doubles in the stream's units.
class Chunk {
  public:
    explicit Chunk(const py::list& channels) {
        if (channels.size() != 6) {
            throw kinrec::Error("internal: six channels expected");
        }
        const py::array first = channels[0].cast<py::array>();
        n_ = static_cast<std::size_t>(first.shape(0));
        if (py::isinstance<py::array_t<std::int16_t>>(first)) {
            Copy<std::int16_t>(channels);
        } else if (py::isinstance<py::array_t<std::int32_t>>(first)) {
            Copy<std::int32_t>(channels);
        } else {
            Copy<double>(channels);
        }
    }

    std::size_t Size() const { return n_; }

    // Pushes the chunk through stream, its rows to sink.
    void Push(kinrec::Stream& stream, kinrec::RowSink& sink) const {
        if (!c16_.empty() || (c32_.empty() && d_.empty())) {
            stream.Push(View(c16_), sink);
        } else if (!c32_.empty()) {
            stream.Push(View(c32_), sink);
        } else {
            stream.Push(View(d_), sink);
        }
    }

  private:
    template <class T>
    std::vector<T>& BlockOf() {
        if constexpr (std::is_same_v<T, std::int16_t>) {
            return c16_;
        } else if constexpr (std::is_same_v<T, std::int32_t>) {
            return c32_;
        } else {
            return d_;
        }
    }

    template <class T>
    void Copy(const py::list& channels) {
        std::vector<T>& block = BlockOf<T>();
        block.resize(6 * n_);
        for (std::size_t k = 0; k < 6; ++k) {
            auto a = py::array_t<T, 0>::ensure(channels[k]);
            if (!a || a.ndim() != 1 || static_cast<std::size_t>(a.shape(0)) != n_) {
                throw kinrec::Error("internal: channels of one type and length expected");
            }
            auto u = a.template unchecked<1>();
            T* dst = block.data() + k * n_;
            for (std::size_t i = 0; i < n_; ++i) {
                dst[i] = u(static_cast<py::ssize_t>(i));
            }
        }
    }

    template <class T>
    kinrec::Recording<T> View(const std::vector<T>& block) const {
        const T* p = block.data();
        const std::size_t n = n_;
        return {{p, n}, {p + n, n}, {p + 2 * n, n}, {p + 3 * n, n}, {p + 4 * n, n}, {p + 5 * n, n}};
    }

    std::size_t n_ = 0;
    std::vector<std::int16_t> c16_;
    std::vector<std::int32_t> c32_;
    std::vector<double> d_;
};

// The rows a chunk of n samples gives at most, and their spacing.
std::int64_t StepOf(const kinrec::Settings& s) {
    return s.ResampleCount >= 2 ? s.ResampleCount : 1;
}

std::size_t CapacityFor(std::size_t n, std::int64_t step) {
    return n / static_cast<std::size_t>(step) + 1;
}

// lead: 0 for a column block, else the int32 words before each record's values.
std::size_t LayoutOf(int lead) {
    return lead <= 0 ? BlockSink::kColumns : static_cast<std::size_t>(lead);
}

// The units of a chunk's doubles, as the library names them.
struct Options {
    kinrec::Units units;
};

py::tuple Features(const py::list& channels, const Options& options,
                   const kinrec::Settings& settings, PyRun* run, int lead) {
    const Chunk chunk(channels);
    const std::int64_t step = StepOf(settings);
    std::unique_ptr<BlockSink> sink;
    kinrec::Notes notes;
    {
        py::gil_scoped_release release;
        const std::unique_lock<std::mutex> lock = TakeTurn(run);
        kinrec::Stream stream(settings, RunOf(run), options.units);
        sink = std::make_unique<BlockSink>(stream.Names(), CapacityFor(chunk.Size(), step), step,
                                           LayoutOf(lead));
        chunk.Push(stream, *sink);
        notes = stream.Noted();
    }
    return py::make_tuple(sink->Take(), notes);
}

// A recording converted chunk by chunk (kinrec.Stream): pushes take turns, and the Run
// given is held until close().
class PyStream {
  public:
    PyStream(const kinrec::Settings& settings, PyRun* run, const Options& options)
        : step_(StepOf(settings)), run_(run) {
        py::gil_scoped_release release;
        // The run is taken in its turn: a conversion under way on it ends first.
        const std::unique_lock<std::mutex> lock = TakeTurn(run);
        stream_ = std::make_unique<kinrec::Stream>(settings, RunOf(run), options.units);
        if (run_ != nullptr) {
            run_->held = true;
        }
    }
    ~PyStream() {
        try {
            Release();
        } catch (...) {
            // The run's lock could not be taken: the run stays held, which is safe.
        }
    }
    PyStream(const PyStream&) = delete;
    PyStream& operator=(const PyStream&) = delete;

    py::tuple Push(const py::list& channels) {
        const Chunk chunk(channels);
        std::unique_ptr<BlockSink> sink;
        kinrec::Notes notes;
        {
            // Large chunks convert without the GIL; a small one is done before a thread
            // switch would pay off. Either way the stream is looked at only in its turn:
            // a close() on another thread comes before or after, never in between.
            std::unique_ptr<py::gil_scoped_release> release;
            if (chunk.Size() >= 4096) {
                release = std::make_unique<py::gil_scoped_release>();
            }
            const std::lock_guard<std::mutex> lock(busy_);
            if (!stream_) {
                throw std::runtime_error("push() on a closed kinrec.Stream");
            }
            sink = std::make_unique<BlockSink>(stream_->Names(), CapacityFor(chunk.Size(), step_),
                                               step_);
            chunk.Push(*stream_, *sink);
            notes = stream_->Noted();
        }
        return py::make_tuple(sink->Take(), notes);
    }

    void Close() {
        {
            py::gil_scoped_release release;
            const std::lock_guard<std::mutex> lock(busy_);
            if (stream_) {
                samplesAtClose_ = stream_->Samples();
                stream_->Finish();
                stream_.reset();
            }
        }
        Release();
    }

    bool Closed() {
        py::gil_scoped_release release;
        const std::lock_guard<std::mutex> lock(busy_);
        return !stream_;
    }

    std::int64_t Samples() {
        py::gil_scoped_release release;
        const std::lock_guard<std::mutex> lock(busy_);
        return stream_ ? stream_->Samples() : samplesAtClose_;
    }

  private:
    // Lets go of the run (with the GIL held: run_ is this object's, changed only here).
    void Release() {
        if (run_ != nullptr) {
            PyRun* run = run_;
            run_ = nullptr;
            py::gil_scoped_release release;
            const std::lock_guard<std::mutex> lock(run->busy);
            run->held = false;
        }
    }

    std::int64_t step_;
    PyRun* run_;
    std::unique_ptr<kinrec::Stream> stream_;
    std::mutex busy_;
    std::int64_t samplesAtClose_ = 0;
};

py::tuple Read(const py::bytes& pathBytes, const kinrec::Settings& settings, PyRun* run, int lead) {
    const std::string path = pathBytes;
    const std::int64_t step = StepOf(settings);
    // Rows straight into the result's block, which grows as they come, or is made once
    // for the rows the library expects of a regular file (Expect); this opens nothing.
    BlockSink sink(kinrec::ColumnNames(settings), 4096, step, LayoutOf(lead));
    kinrec::Notes notes;
    {
        py::gil_scoped_release release;
        const std::unique_lock<std::mutex> lock = TakeTurn(run);
        notes = kinrec::FromFile(path, sink, settings, RunOf(run));
    }
    return py::make_tuple(sink.Take(), notes);
}

// A file's row of a batch summary (kinrec::SummaryOf), in SUMMARY_COLUMNS' order.
py::tuple SummaryRow(const py::bytes& pathBytes, const kinrec::Notes& notes, std::int64_t rows) {
    const kinrec::SummaryRow r = kinrec::SummaryOf(pathBytes, notes, rows);
    const py::object none = py::none();
    const py::object name = py::reinterpret_steal<py::object>(
        PyUnicode_DecodeFSDefaultAndSize(r.input.data(), static_cast<py::ssize_t>(r.input.size())));
    if (!name) {
        throw py::error_already_set();
    }
    return py::make_tuple(name, r.table.empty() ? none : py::str(r.table), r.status, r.samples,
                          r.rows, r.beyondRange, r.firstBeyond < 0 ? none : py::int_(r.firstBeyond),
                          r.beyondRange > 0 ? py::int_(r.peakBeyond) : none, r.skippedLines,
                          r.notes);
}

// The exception for path and reason: OSError with the errno (FileNotFoundError and the
// like), else kinrec.FileRefusedError.
py::object OsError(const std::string& path, const std::string& reason, int code) {
    // The name as os.fsdecode gives it back: any bytes, not only UTF-8.
    const py::object name = py::reinterpret_steal<py::object>(
        PyUnicode_DecodeFSDefaultAndSize(path.data(), static_cast<py::ssize_t>(path.size())));
    if (!name) {
        throw py::error_already_set();
    }
    if (code != 0) {
        return py::reinterpret_borrow<py::object>(PyExc_OSError)(code, reason, name);
    }
    return py::module_::import("kinrec._errors").attr("FileRefusedError")(name, reason);
}

[[noreturn]] void Raise(const py::object& error) {
    PyErr_SetObject(reinterpret_cast<PyObject*>(Py_TYPE(error.ptr())), error.ptr());
    throw py::error_already_set();
}

// Writes a table as the console tool does, with the library's writer: (the table's name,
// the notes in the console's words). A failure raises, with the errno and the file the
// writer names.
py::tuple Convert(const py::bytes& inputBytes, const py::object& output,
                  const kinrec::Settings& settings, PyRun* run) {
    const std::string input = inputBytes;
    const std::string table = output.is_none() ? "" : std::string(output.cast<py::bytes>());
    kinrec::Written w;
    {
        py::gil_scoped_release release;
        const std::unique_lock<std::mutex> lock = TakeTurn(run);
        w = kinrec::WriteTable(input, table, settings, RunOf(run));
    }
    if (!w.Ok()) {
        Raise(OsError(w.path, w.Reason(), w.code));
    }
    py::list notes;
    for (const std::string& line : kinrec::NoteLines(w.notes)) {
        notes.append(py::str(line));
    }
    return py::make_tuple(py::bytes(w.table), notes);
}

// The inputs of a walk: (files, tables, special, [(folder, errno)]), names as bytes.
py::tuple FindInputs(const py::bytes& topBytes, const py::object& selector, bool recursive) {
    const std::string top = topBytes;
    const bool selected = !selector.is_none();
    const std::string sel = selected ? std::string(selector.cast<py::bytes>()) : std::string();
    kinrec::Inputs in;
    {
        py::gil_scoped_release release;
        in = kinrec::FindInputs(top, selected ? &sel : nullptr, recursive);
    }
    auto names = [](const std::vector<std::string>& paths) {
        py::list out;
        for (const std::string& p : paths) {
            out.append(py::bytes(p));
        }
        return out;
    };
    py::list unreadable;
    for (std::size_t i = 0; i < in.unreadable.size(); ++i) {
        unreadable.append(py::make_tuple(py::bytes(in.unreadable[i]), in.unreadableErrno[i]));
    }
    return py::make_tuple(names(in.files), names(in.tables), names(in.special), unreadable);
}

} // namespace

PYBIND11_MODULE(_kinrec, m) {
    m.doc() = "The compiled part of kinrec; use the functions of the kinrec package.";
    kinrec_python::AddReaders(m);

    // pybind11 takes translators by value: NOLINTNEXTLINE(performance-unnecessary-value-param)
    py::register_exception_translator([](std::exception_ptr p) {
        try {
            if (p) {
                std::rethrow_exception(p);
            }
        } catch (const kinrec::FileError& e) {
            try {
                py::object error = OsError(e.Path(), e.Reason(), e.Code());
                PyErr_SetObject(reinterpret_cast<PyObject*>(Py_TYPE(error.ptr())), error.ptr());
            } catch (py::error_already_set& pending) {
                pending.restore();
            }
        } catch (const kinrec::Error& e) {
            PyErr_SetString(PyExc_ValueError, e.what());
        }
    });

    py::class_<PyRun>(m, "Run",
                      R"(The gyro bias count shared by conversions, as one console batch shares it.

kinrec's attitude filter estimates the gyro bias as a running mean over the
first kept samples, up to BIAS_COUNT_LIMIT (10000) of them. A conversion
without a Run starts that count at 0; conversions given the same Run carry it
on from one to the next, so a list of recordings converted in order with one
Run gives the tables of one ``kinrec -r`` over the same files in the same
order.

Two threads may pass the same Run; their conversions then take turns, in an
order nobody chose. Give each thread its own Run unless the order is fixed.)")
        .def(py::init([](const py::int_& biasCount) {
                 // Any Python integer: one beyond 64 bits is as out of range as -1.
                 int overflow = 0;
                 const long long n = PyLong_AsLongLongAndOverflow(biasCount.ptr(), &overflow);
                 if (overflow != 0 || !kinrec::ValidBiasCount(n)) {
                     throw kinrec::Error("bias_count must be 0 to " +
                                         std::to_string(kinrec::BiasCountLimit()) + ", not " +
                                         static_cast<std::string>(py::repr(biasCount)));
                 }
                 auto* r = new PyRun();
                 r->run.biasCount = static_cast<std::int32_t>(n);
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
    m.def("convert_head", &ConvertHead, py::arg("count"), py::arg("run").none(true),
          py::arg("convert"),
          "kinrec::ConvertHead: convert(i) for the items converted one by one on run while "
          "its bias count is below the limit; returns how many.");
    m.def(
        "rest_bias_count", [](PyRun* run) { return kinrec::RestRun(RunOf(run)).biasCount; },
        py::arg("run").none(true),
        "kinrec::RestRun: the bias count each item after the head starts from.");
    py::list settings;
    for (const kinrec::SettingInfo& info : kinrec::SettingTable()) {
        const py::object key = info.key == nullptr ? py::object(py::none()) : py::str(info.key);
        const py::object words =
            info.words == nullptr ? py::object(py::none()) : py::str(info.words).attr("split")();
        settings.append(
            py::make_tuple(info.keyword, key, info.label, info.initial, info.meaning, words));
    }
    m.attr("SETTINGS") = settings;
    m.attr("__version_info__") = py::str(kinrec::Version());
    DefineSettings(m);

    // In the order the package's messages list them.
    py::enum_<kinrec::AccUnit>(m, "AccUnit")
        .value("counts", kinrec::AccUnit::kCounts)
        .value("g", kinrec::AccUnit::kG)
        .value("mg", kinrec::AccUnit::kMilliG)
        .value("m/s^2", kinrec::AccUnit::kMetresPerSecond2);
    py::enum_<kinrec::GyroUnit>(m, "GyroUnit")
        .value("counts", kinrec::GyroUnit::kCounts)
        .value("deg/s", kinrec::GyroUnit::kDegPerSecond)
        .value("rad/s", kinrec::GyroUnit::kRadPerSecond);
    py::class_<Options>(m, "_Options")
        .def(py::init([](kinrec::AccUnit acc, kinrec::GyroUnit gyro) {
                 Options o;
                 o.units.acc = acc;
                 o.units.gyro = gyro;
                 return o;
             }),
             py::arg("acc_unit"), py::arg("gyro_unit"));
    py::class_<kinrec::Notes>(m, "Notes", "What a conversion met besides its rows (kinrec::Notes).")
        .def_readonly("wrapped", &kinrec::Notes::wrapped)
        .def_readonly("first_wrapped", &kinrec::Notes::firstWrapped)
        .def_readonly("wrap_peak", &kinrec::Notes::wrapPeak)
        .def_readonly("frequency_repaired", &kinrec::Notes::frequencyRepaired)
        .def_property_readonly("lines", [](const kinrec::Notes& n) {
            py::list lines;
            for (const std::string& line : kinrec::NoteLines(n)) {
                lines.append(py::str(line));
            }
            return lines;
        });

    m.def("_features", &Features, py::arg("channels"), py::arg("options"), py::arg("settings"),
          py::arg("run"), py::arg("lead") = 0);
    m.def("_read", &Read, py::arg("path"), py::arg("settings"), py::arg("run"),
          py::arg("lead") = 0);
    m.def("_summary_row", &SummaryRow, py::arg("path"), py::arg("notes"), py::arg("rows"));
    py::list summaryColumns;
    for (const std::string& c : kinrec::SummaryColumns()) {
        summaryColumns.append(py::str(c));
    }
    m.attr("SUMMARY_COLUMNS") = summaryColumns;
    m.def("_settings_text", [](const kinrec::Settings& s) { return kinrec::SettingsText(s); });
    m.def("_find_inputs", &FindInputs, py::arg("top"), py::arg("selector"), py::arg("recursive"));
    m.def("_convert", &Convert, py::arg("input"), py::arg("output"), py::arg("settings"),
          py::arg("run"));
    py::class_<PyStream>(m, "_Stream")
        .def(py::init<const kinrec::Settings&, PyRun*, const Options&>(), py::arg("settings"),
             py::arg("run"), py::arg("options"), py::keep_alive<1, 3>())
        .def("push", &PyStream::Push, py::arg("channels"))
        .def("close", &PyStream::Close)
        .def_property_readonly("closed", &PyStream::Closed)
        .def_property_readonly("samples", &PyStream::Samples);
}
