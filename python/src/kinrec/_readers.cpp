// The readers of other layouts and the public fall data sets for the Python package:
// each call reads and converts without the GIL, so that kinrec.dataset's threads read
// trials side by side.
#include "_readers.h"

#include "kinrec.h"

#include <pybind11/numpy.h>
#include <pybind11/stl.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

namespace py = pybind11;

namespace kinrec_python {

namespace {

using Conditions = std::vector<std::pair<std::string, std::string>>;

std::vector<kinrec::Condition> ToConditions(const Conditions& pairs) {
    std::vector<kinrec::Condition> out;
    for (const auto& [column, value] : pairs) {
        out.push_back({column, value});
    }
    return out;
}

// The options as kinrec/_load.py passes them: the importer's names, "" and 0 for none.
kinrec::ReadOptions ToOptions(const py::dict& d) {
    kinrec::ReadOptions o;
    const auto text = [&d](const char* key, std::string& field) {
        if (d.contains(key) && !d[key].is_none()) {
            field = py::cast<std::string>(d[key]);
        }
    };
    const auto number = [&d](const char* key, double& field) {
        if (d.contains(key) && !d[key].is_none()) {
            field = py::cast<double>(d[key]);
        }
    };
    const auto conditions = [&d](const char* key, std::vector<kinrec::Condition>& field) {
        if (d.contains(key) && !d[key].is_none()) {
            field = ToConditions(py::cast<Conditions>(d[key]));
        }
    };
    text("layout", o.layout);
    text("position", o.position);
    std::string delimiter;
    text("delimiter", delimiter);
    o.delimiter = delimiter.empty() ? '\0' : delimiter[0];
    if (d.contains("no_header")) {
        o.noHeader = py::cast<bool>(d["no_header"]);
    }
    text("time_col", o.timeCol);
    text("acc_cols", o.accCols);
    text("gyro_cols", o.gyroCols);
    text("acc_unit", o.accUnit);
    text("gyro_unit", o.gyroUnit);
    text("time_unit", o.timeUnit);
    number("acc_scale", o.accScale);
    number("gyro_scale", o.gyroScale);
    conditions("where", o.where);
    conditions("acc_where", o.accWhere);
    conditions("gyro_where", o.gyroWhere);
    number("source_rate", o.sourceRate);
    number("rate", o.rate);
    return o;
}

template <class T>
py::array_t<T> Array(const std::vector<T>& v) {
    py::array_t<T> a(static_cast<py::ssize_t>(v.size()));
    if (!v.empty()) {
        std::memcpy(a.mutable_data(), v.data(), v.size() * sizeof(T));
    }
    return a;
}

// Three channels as one (N, 3) array.
py::array_t<double> Triple(const std::vector<double> (&c)[3]) {
    const std::size_t n = c[0].size();
    py::array_t<double> a({static_cast<py::ssize_t>(n), py::ssize_t{3}});
    double* out = a.mutable_data();
    for (std::size_t k = 0; k < n; ++k) {
        for (std::size_t axis = 0; axis < 3; ++axis) {
            out[3 * k + axis] = c[axis][k];
        }
    }
    return a;
}

py::list Notes(const std::vector<kinrec::ReadNote>& notes) {
    py::list out;
    for (const kinrec::ReadNote& n : notes) {
        out.append(py::make_tuple(n.kind, n.where, n.text));
    }
    return out;
}

py::dict ReadSamples(const std::vector<std::string>& files, const py::dict& options) {
    const kinrec::ReadOptions o = ToOptions(options);
    kinrec::Samples s;
    {
        py::gil_scoped_release release;
        s = kinrec::ReadSamples(files, o);
    }
    py::dict out;
    out["time"] = Array(s.time);
    out["source_row"] = Array(s.sourceRow);
    out["acc"] = Triple(s.acc);
    out["gyro"] = Triple(s.gyro);
    out["rate"] = s.rate;
    out["even"] = s.even;
    out["source"] = s.source;
    out["notes"] = Notes(s.notes);
    return out;
}

py::dict TrialDict(const kinrec::Trial& t) {
    py::dict d;
    d["file"] = t.file;
    d["paths"] = t.paths;
    d["subject"] = t.subject;
    d["activity"] = t.activity;
    d["fall"] = t.fall;
    d["trial"] = t.trial;
    d["position"] = t.position;
    return d;
}

kinrec::Trial ToTrial(const py::dict& d) {
    kinrec::Trial t;
    t.file = py::cast<std::string>(d["file"]);
    t.paths = py::cast<std::vector<std::string>>(d["paths"]);
    t.subject = py::cast<std::string>(d["subject"]);
    t.activity = py::cast<std::string>(d["activity"]);
    t.fall = py::cast<bool>(d["fall"]);
    t.trial = py::cast<int>(d["trial"]);
    t.position = py::cast<std::string>(d["position"]);
    return t;
}

py::list FindTrials(const std::string& set, const std::string& root, const std::string& position) {
    std::vector<kinrec::Trial> trials;
    {
        py::gil_scoped_release release;
        trials = kinrec::FindTrials(set, root, position);
    }
    py::list out;
    for (const kinrec::Trial& t : trials) {
        out.append(TrialDict(t));
    }
    return out;
}

// (names, int32 columns x rows, times, samples beyond the range, notes)
py::tuple ConvertTrial(const std::string& set, const py::dict& trial,
                       const kinrec::Settings& settings) {
    const kinrec::Trial t = ToTrial(trial);
    kinrec::TrialTable converted;
    {
        py::gil_scoped_release release;
        converted = kinrec::ConvertTrial(set, t, settings);
    }
    // Column by column: each column's rows one after another, as the table holds them.
    const std::size_t rows = converted.table.Rows();
    const std::size_t cols = converted.table.columns.size();
    py::array_t<std::int32_t> block(
        {static_cast<py::ssize_t>(cols), static_cast<py::ssize_t>(rows)});
    std::int32_t* out = block.mutable_data();
    for (std::size_t c = 0; c < cols; ++c) {
        if (rows != 0) {
            std::memcpy(out + c * rows, converted.table.columns[c].data(),
                        rows * sizeof(std::int32_t));
        }
    }
    return py::make_tuple(converted.table.names, block, Array(converted.time),
                          converted.beyondRange, Notes(converted.notes));
}

} // namespace

void AddReaders(py::module_& m) {
    m.def("_read_samples", &ReadSamples, py::arg("files"), py::arg("options"));
    m.def("_layout_names", &kinrec::LayoutNames);
    m.def("_layout_takes_two_files", &kinrec::LayoutTakesTwoFiles, py::arg("layout"));
    m.def("_data_set_names", &kinrec::DataSetNames);
    m.def("_data_set_positions", &kinrec::DataSetPositions, py::arg("set"));
    m.def("_find_trials", &FindTrials, py::arg("set"), py::arg("root"), py::arg("position"));
    m.def("_convert_trial", &ConvertTrial, py::arg("set"), py::arg("trial"), py::arg("settings"));
}

} // namespace kinrec_python
