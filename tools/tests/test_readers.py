"""The one-line readers of a table given in the README, where the library is installed."""

import importlib
import unittest

from support import data

TABLE = data("xio-imu-mocap-pelvis_DSV.csv")
# Optional names in the header are preceded by ", ": a reader must not keep the space.
NAMES = ["accX", "accY", "accZ", "gyroX", "gyroY", "gyroZ", "lpf_acc", "raw_acc",
         "lpf_omega", "raw_omega", "fall_counter", "roll", "pitch", "yaw", "acc_diff",
         "omega_diff", "roll_diff", "pitch_diff", "yaw_diff"]
FIRST_ROW = [7401, -295, 3598, 66, 49, 47, 24, 100, 0, 1, 1, 0, -90, 0, 24, 0, 0, -90, 0]


def have(module):
    try:
        importlib.import_module(module)
    except ImportError:
        return False
    return True


class ReaderTest(unittest.TestCase):
    @unittest.skipUnless(have("pandas"), "pandas is not installed")
    def test_pandas(self):
        import pandas as pd
        t = pd.read_csv(TABLE, skipinitialspace=True)
        self.assertEqual(list(t.columns), NAMES)
        self.assertEqual(len(t), 40)
        self.assertEqual(t.iloc[0].tolist(), FIRST_ROW)
        self.assertEqual(t["fall_counter"].tolist()[:3], [1, 2, 0])

    @unittest.skipUnless(have("numpy"), "numpy is not installed")
    def test_numpy(self):
        import numpy as np
        t = np.genfromtxt(TABLE, delimiter=",", names=True, dtype=int)
        self.assertEqual(list(t.dtype.names), NAMES)
        self.assertEqual(len(t), 40)
        self.assertEqual(list(t[0]), FIRST_ROW)
        self.assertEqual(t["fall_counter"][:3].tolist(), [1, 2, 0])


if __name__ == "__main__":
    unittest.main()
