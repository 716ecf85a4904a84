"""The benchmarks' counts recording: bench/gen_recording.cpp, compiled with g++ into a
temporary folder, writes it; its samples are read back as int16 arrays."""
import subprocess
from pathlib import Path
from typing import Tuple

import numpy as np

ROOT = Path(__file__).resolve().parents[1]


def counts_recording(folder: Path, samples: int) -> Tuple[Path, np.ndarray, np.ndarray]:
    """(path of rec.csv in folder, acc, gyro): samples samples of a counts CSV file, and
    its counts as two (samples, 3) int16 arrays."""
    gen = Path(folder) / "gen_recording"
    subprocess.run(["g++", "-O2", "-std=c++17", str(ROOT / "bench" / "gen_recording.cpp"),
                    "-o", str(gen)], check=True)
    recording = Path(folder) / "rec.csv"
    subprocess.run([str(gen), "counts", str(samples), str(recording)], check=True,
                   stdout=subprocess.DEVNULL)
    data = np.loadtxt(recording, delimiter=",", skiprows=1, usecols=range(1, 7),
                      dtype=np.int64).astype(np.int16)
    return recording, data[:, 0:3].copy(), data[:, 3:6].copy()
