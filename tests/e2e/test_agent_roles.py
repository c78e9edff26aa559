"""The update agent's two roles: started under its own name it makes its
resident copy X_<name>, starts it hidden and turns its switches (/STOP=,
/WM_MSG=, /TEST=) into window messages for it; the copy ends through its
stop countdown and deletes its own file."""
import os
import unittest

import agentkit
import lumtest

WM_SHUTDOWN, WM_AGENTMSG = 0x463, 0x465
LISTENER_MSG = 0x8123


class AgentRoles(unittest.TestCase):
    def setUp(self):
        self.work = lumtest.work_dir(self.id().split(".")[-1])
        self.agent = agentkit.Agent(self.work)
        self.addCleanup(self.agent.stop)

    def test_copy_runs_hidden_and_its_stop_countdown_ends_it(self):
        with lumtest.tracecat(self.work) as viewer:
            self.assertEqual(self.agent.run(), 0)
            win = self.agent.wait_copy()
            self.assertEqual(win["visible"], ["0"])
            self.assertTrue(os.path.exists(self.agent.copy_path))
            plain = agentkit.pid_of_start(viewer.lines(), "agent.exe")
            copy = agentkit.pid_of_start(viewer.lines(), "X_agent.exe")
            self.assertIsNotNone(copy, viewer.text())
            self.assertIn(f"{plain} CreateAndRun_X_Exe-2", viewer.lines())

            # Lower-case switch: a countdown of 2 ends the copy on the third
            # tick after the message, not at once.
            self.assertEqual(self.agent.run("/stop=2"), 0)
            self.assertTrue(self.agent.wait_copy_gone(), "the countdown must end the copy")
            self.assertTrue(lumtest.wait_for(lambda: f"{copy} ==== STUB END" in viewer.text(), timeout=10))
            self.assertTrue(lumtest.wait_for(lambda: not os.path.exists(self.agent.copy_path), timeout=15),
                            "the copy deletes its own file")
            lines = viewer.lines()
        post = next(i for i, l in enumerate(lines)
                    if f"PostProcessMessage({lumtest.winpath(self.agent.copy_path)}, {WM_SHUTDOWN}) to window " +
                    str(int(win["hwnd"][0], 16)) in l)
        end = next(i for i, l in enumerate(lines) if l.startswith(f"{copy} ==== STUB END"))
        ticks = [i for i, _ in agentkit.timer_counts(lines, copy) if post < i < end]
        # The trace comes just before the post: a tick in between adds one.
        self.assertIn(len(ticks), (3, 4), lines[post:end + 1])
        self.assertTrue(os.path.exists(self.agent.path), "the plain agent's file stays")

    def test_switches_reach_the_copy_as_window_messages(self):
        with lumtest.tracecat(self.work) as viewer, agentkit.listener(self.work) as listener:
            # /DELAY= reaches the copy as /SleepX=: its counter starts at -100.
            self.assertEqual(self.agent.run("/DELAY=100"), 0)
            hwnd = int(self.agent.wait_copy()["hwnd"][0], 16)
            copy = agentkit.pid_of_start(viewer.lines(), "X_agent.exe")
            self.assertTrue(lumtest.wait_for(lambda: agentkit.timer_counts(viewer.lines(), copy)))
            self.assertEqual(agentkit.timer_counts(viewer.lines(), copy)[0][1], -99)

            # /WM_MSG=<window>:<message>: the copy answers the listener with
            # its window handle (50) and its agent message number (51).
            self.assertEqual(self.agent.run(f"/WM_MSG={listener.hwnd}:{LISTENER_MSG}"), 0)
            self.assertTrue(lumtest.wait_for(lambda: len(listener.messages()) >= 2))
            self.assertEqual(listener.messages()[:2], [(LISTENER_MSG, 50, hwnd), (LISTENER_MSG, 51, WM_AGENTMSG)])

            # /TEST=1: an update check now; the counter jumps from far below
            # zero to 1 and counts on from there.
            self.assertEqual(self.agent.run("/TEST=1"), 0)
            self.assertIn(f"PostProcessMessage({lumtest.winpath(self.agent.copy_path)}, {WM_AGENTMSG}) "
                          f"to window {hwnd}", viewer.text())
            self.assertTrue(lumtest.wait_for(
                lambda: any(v == 3 for _, v in agentkit.timer_counts(viewer.lines(), copy)), timeout=10),
                viewer.text())
            counts = [v for _, v in agentkit.timer_counts(viewer.lines(), copy)]
            self.assertLess(counts[counts.index(2) - 1], -90, counts)

            # /TEST=2: an interactive check holds the counter at 0 for one
            # tick only and asks whether to check now; answered No, nothing is
            # fetched and the counter counts on.
            mark = len(viewer.lines())
            self.assertEqual(self.agent.run("/TEST=2"), 0)
            code, box = lumtest.uidriver(["--wait=30", "box", "--press=No", "--wait-closed"])
            self.assertEqual(code, 0, viewer.text())
            self.assertEqual(box["title"], ["Confirm"])

            def after_mark():
                return [v for i, v in agentkit.timer_counts(viewer.lines(), copy) if i > mark]
            self.assertTrue(lumtest.wait_for(lambda: len(after_mark()) >= 4, timeout=10))
            after = after_mark()
            self.assertIn(1, after, after)
            self.assertEqual(after[after.index(1) + 1], 2, after)
            self.assertTrue(self.agent.copy_window() is not None, "/TEST= to a running copy does not stop it")

            # /STOP=0 ends it at its next tick; the listener hears the end (43).
            self.assertEqual(self.agent.run("/STOP=0"), 0)
            self.assertTrue(self.agent.wait_copy_gone())
            self.assertTrue(lumtest.wait_for(lambda: (LISTENER_MSG, 43, 0) in listener.messages()))
            self.assertTrue(lumtest.wait_for(lambda: not os.path.exists(self.agent.copy_path), timeout=15))


if __name__ == "__main__":
    lumtest.main()
