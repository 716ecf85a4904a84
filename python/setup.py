"""Builds the extension kinrec._kinrec from the repository's C++ sources.

The library's source list is read from the top-level CMakeLists.txt (add_library
kinrec_pipeline), so this build and the CMake build compile the same files; the version is the repository's VERSION file. The flags that keep the integers those of the console
tool: -std=c++17, -ffp-contract=off, -fno-fast-math, and no host tuning (-march=native).
"""
import os
import re
import sys
from pathlib import Path

from pybind11.setup_helpers import ParallelCompile, Pybind11Extension, build_ext
from setuptools import setup

HERE = Path(__file__).resolve().parent
ROOT = HERE.parent


def cmake_sources(target):
    text = (ROOT / "CMakeLists.txt").read_text()
    found = re.search(r"add_library\(\s*%s\s+STATIC\s+([^)]*)\)" % re.escape(target), text)
    if found is None:
        sys.exit(f"setup.py: no add_library({target} ...) in {ROOT / 'CMakeLists.txt'}")
    return found.group(1).split()


def version():
    """The one version of the project: the first line of the repository's VERSION."""
    return (ROOT / "VERSION").read_text().split()[0]


# The library's floor onto the file system, the one source file of its own per platform.
platform = ["disk/Disk-win32.cpp" if sys.platform == "win32" else "disk/Disk-posix.cpp"]

sources = ["src/kinrec/_kinrec.cpp", "src/kinrec/_readers.cpp"] + [
    os.path.relpath(ROOT / s, HERE) for s in cmake_sources("kinrec_pipeline") + platform
]

flags = [] if sys.platform == "win32" else ["-ffp-contract=off", "-fno-fast-math"]
extension = Pybind11Extension(
    "kinrec._kinrec",
    sources,
    include_dirs=[str(ROOT), str(ROOT / "Include" / "public")],  # the library's own sources
    define_macros=[("KINREC_VERSION", '"%s"' % version())],
    extra_compile_args=flags,
    cxx_std=17,
)

ParallelCompile("KINREC_BUILD_JOBS", default=0).install()
setup(version=version(), ext_modules=[extension], cmdclass={"build_ext": build_ext})
