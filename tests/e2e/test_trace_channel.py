"""The debug channel under Wine: texts reach the viewer window through
global atoms in pieces of at most 128 characters, the last one ending with
the line's CR LF; without a viewer, tracing has no visible effect."""
import os
import subprocess
import time
import unittest

import lumtest


class TraceChannel(unittest.TestCase):
    def test_long_line_arrives_in_pieces(self):
        work = lumtest.work_dir("trace_pieces")
        with lumtest.tracecat(work) as viewer:
            self.assertEqual(lumtest.wine([lumtest.build_file("tracewrite.exe"), "300", "5", "0"]).returncode, 0)
            lumtest.wait_for(lambda: len(viewer.pieces()) >= 5)
            pieces = viewer.pieces()
        line = "".join(chr(ord("a") + k % 26) for k in range(300))
        self.assertEqual(pieces, [line[:128], line[128:256], line[256:] + "\r\n", "abcde\r\n", "\r\n"])

    def test_a_viewer_that_never_answers_holds_nothing_up(self):
        work = lumtest.work_dir("trace_hung_viewer")
        out = os.path.join(work, "trace.txt")
        viewer = subprocess.Popen([lumtest.WINE, lumtest.build_file("tracecat.exe"), lumtest.winpath(out), "--hang",
                                   "--timeout=120"], env=lumtest.ENV, stdin=subprocess.DEVNULL,
                                  stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        try:
            self.assertTrue(lumtest.wait_for(lambda: os.path.exists(out + ".pieces"), timeout=30))
            started = time.monotonic()
            # Forty lines of 300 characters: 120 hand-overs to a window whose
            # thread never reads its messages.
            r = lumtest.wine([lumtest.build_file("tracewrite.exe")] + ["300"] * 40, timeout=60)
            elapsed = time.monotonic() - started
            self.assertEqual(r.returncode, 0)
            self.assertLess(elapsed, 10, "the trace waited for the hung viewer")
        finally:
            viewer.kill()
            viewer.wait(timeout=30)

    def test_no_viewer_no_effect(self):
        # Shipped trace mode: viewer only. With no viewer running the program
        # still works and no trace file appears.
        trace_file = os.path.join(lumtest.PREFIX_C, "ProgramData", "_ldebug.txt")
        self.assertEqual(lumtest.wine([lumtest.build_file("tracewrite.exe"), "300"]).returncode, 0)
        self.assertFalse(os.path.exists(trace_file))


if __name__ == "__main__":
    lumtest.main()
