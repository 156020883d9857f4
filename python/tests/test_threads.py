# The GIL is released while the library works: another thread runs, and imports, meanwhile.
# SPDX-License-Identifier: MIT
import sys
import threading

import pytest

import vexlor_dxf
from conftest import PLATE, big_drawing


@pytest.fixture
def long_switch_interval():
    # A thread that keeps the GIL is made to give it up only after a second: the main thread can
    # then run during a long import only if the import itself released it.
    before = sys.getswitchinterval()
    sys.setswitchinterval(1.0)
    yield
    sys.setswitchinterval(before)


def run_beside(call):
    """Runs `call` on a thread and, as soon as it has started, imports a small drawing on this
    one; whether the thread was still inside `call` when that import ended."""
    started, done = threading.Event(), threading.Event()
    failure = []

    def work():
        started.set()
        try:
            call()
        except BaseException as error:  # noqa: BLE001 - handed to the test
            failure.append(error)
        done.set()

    thread = threading.Thread(target=work)
    thread.start()
    started.wait()
    small = vexlor_dxf.import_contours(PLATE)
    overlapped = not done.is_set()
    thread.join()
    assert not failure and len(small.contours) == 2
    return overlapped


BIG = big_drawing(300_000)  # about 12 MB: an import of a good fraction of a second


@pytest.mark.parametrize("what", ["bytes", "file object", "export"])
def test_two_threads_are_inside_the_library_at_once(long_switch_interval, tmp_path, what):
    import io

    import numpy as np

    calls = {
        "bytes": lambda: vexlor_dxf.import_contours(BIG),
        "file object": lambda: vexlor_dxf.import_contours(io.BytesIO(BIG)),
        "export": lambda: vexlor_dxf.export_mesh(
            np.zeros((3, 3)), np.tile([0, 1, 2], (400_000, 1)), tmp_path / "m.dxf"),
    }
    assert run_beside(calls[what])
