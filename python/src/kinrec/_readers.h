// The readers of other layouts and the public fall data sets (kinrec.load,
// kinrec.dataset): added to the compiled module by its PYBIND11_MODULE.
#ifndef KINREC_PYTHON_READERS_H
#define KINREC_PYTHON_READERS_H

#include <pybind11/pybind11.h>

namespace kinrec_python {

void AddReaders(pybind11::module_& m);

} // namespace kinrec_python

#endif
