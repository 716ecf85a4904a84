"""Recordings, the console tool and its tables for the package's tests."""
import os
import struct
import subprocess
from pathlib import Path

import numpy as np

import kinrec

SOURCE_DIR = Path(os.environ.get("KINREC_SOURCE_DIR", Path(__file__).resolve().parents[2]))
EXAMPLES = SOURCE_DIR / "examples"

# Settings keyword -> the console tool's configuration key.
KEYS = {
    "resample_count": "RESAMPLECOUNT",
    "sampling_frequency": "SAMPLINGFREQUENCY",
    "cutoff_frequency": "CUTOFFFREQUENCY",
    "fall_start_threshold": "FALLSTARTTHRESHOLD",
    "rms_diff": "RMSDIFFOUT",
    "posture_diff": "POSTUREDIFFOUT",
}


def kinrec_exe():
    exe = os.environ.get("KINREC_EXE") or str(SOURCE_DIR / "build" / "kinrec")
    return os.path.abspath(exe) if os.access(exe, os.X_OK) else None


def write_config(folder, filetype=1, **settings):
    lines = [f"FILETYPE {filetype}"]
    lines += [f"{KEYS[k]} {int(v)}" for k, v in settings.items()]
    (Path(folder) / "kinrec.cnf").write_text("\n".join(lines) + "\n")


def console(folder, *args):
    """Runs the console tool in folder (which holds its kinrec.cnf)."""
    done = subprocess.run([kinrec_exe(), *map(str, args)], cwd=folder, capture_output=True,
                          text=True, timeout=300)
    assert done.returncode == 0, done.stderr
    # Recordings here hold values beyond 16 bits, and some a time column that is not the
    # settings' rate or values far from 1 g, on purpose; that is all it may say.
    for line in done.stderr.splitlines():
        assert ("values beyond the 16-bit range, wrapped around" in line
                or "the time column steps" in line or "median magnitude" in line), line
    return done.stdout


def console_table(folder, recording, filetype=1, **settings):
    """The console tool's table of one recording, alone, as a DataFrame."""
    write_config(folder, filetype, **settings)
    out = Path(folder) / "out_DSV.csv"
    console(folder, recording, out)
    return kinrec.read_table(out).rename_axis(None)  # its rows, as the tests number them


def motion(n, seed):
    """A waist-worn sensor walking, with impacts beyond +-4 g and +-500 deg/s: acc in g
    and gyro in deg/s, each (n, 3) float64."""
    rng = np.random.default_rng(seed)
    t = np.arange(n) * 0.02
    step = np.sin(t * 2 * np.pi * 1.8)
    tilt = 0.3 * np.sin(t * 0.11 + seed)
    acc = np.stack([0.15 * step, np.sin(tilt), np.cos(tilt) + 0.25 * step**2], axis=1)
    gyro = np.stack([40 * np.cos(t * 2 * np.pi * 1.8), 15 * np.sin(t * 0.7),
                     25 * np.sin(t * 0.05)], axis=1)
    acc += 0.02 * rng.standard_normal((n, 3))
    gyro += 2 * rng.standard_normal((n, 3))
    for start in range(n // 5, n, max(n // 3, 1)):  # impacts and a fall
        acc[start:start + 8] *= rng.uniform(-6, 6, (min(8, n - start), 3))
        gyro[start:start + 8] += rng.uniform(-900, 900, (min(8, n - start), 3))
        acc[start + 8:start + 40] *= 0.2
    return acc, gyro


def motion_counts(n, seed):
    """The same as integer counts, some beyond 16 bits (they wrap when read)."""
    acc, gyro = motion(n, seed)
    return (np.trunc(acc * 8192).astype(np.int64), np.trunc(gyro * 65.536).astype(np.int64))


def write_counts_csv(path, acc, gyro, scale=1):
    rows = np.hstack([np.arange(len(acc))[:, None], np.asarray(acc) // scale,
                      np.asarray(gyro) // scale]).astype(np.int64)
    with open(path, "w") as f:
        f.write("t,ax,ay,az,gx,gy,gz\n")
        f.writelines(",".join(map(str, r)) + "\n" for r in rows.tolist())


def write_physical_csv(path, acc, gyro):
    with open(path, "w") as f:
        f.write("t,index,ax,ay,az,gx,gy,gz\n")
        for i, (a, g) in enumerate(zip(np.asarray(acc).tolist(), np.asarray(gyro).tolist())):
            f.write(f"{i * 0.02!r},{i}," + ",".join(map(repr, a + g)) + "\n")


def write_dataset(path, acc, gyro):
    records = np.hstack([acc, gyro]).astype("<i2")
    with open(path, "wb") as f:
        f.write(b"QM DataSet V1.0.0".ljust(20, b"\0") + struct.pack("<i", 24))
        f.write(records.tobytes())


def write_recording(path, filetype, acc_counts, gyro_counts):
    """Counts as a file of filetype: 1 and 4 exactly, 2 as g and deg/s that read back
    as the same counts, 3 as hundreds."""
    if filetype == 1:
        write_counts_csv(path, acc_counts, gyro_counts)
    elif filetype == 2:
        a16 = np.asarray(acc_counts).astype(np.int16)
        g16 = np.asarray(gyro_counts).astype(np.int16)
        write_physical_csv(path, (a16 + 0.5 * np.sign(a16)) / 8192,
                           (g16 + 0.5 * np.sign(g16)) / 65.53600311279297)
    elif filetype == 3:
        write_counts_csv(path, acc_counts, gyro_counts, scale=100)
    else:
        write_dataset(path, np.asarray(acc_counts).astype(np.int16),
                      np.asarray(gyro_counts).astype(np.int16))
