"""The agent's run log: written only by an agent package with the log flag,
beside the agent as X_<name>.log for both agent files, one dated line per
event with the padded thread id and the copy's " X " indent."""
import os
import re
import time
import unittest

import agentkit
import lumtest

LINE = re.compile(r"^(\d\d/\d\d/\d\d) (\d\d:\d\d:\d\d) ( *)(\d+)(   | X )(.*)$")


def logs_in(folder):
    return sorted(n for n in os.listdir(folder) if n.lower().endswith(".log"))


class RunLog(unittest.TestCase):
    def setUp(self):
        self.work = lumtest.work_dir(self.id().split(".")[-1])

    def folder(self, name):
        path = os.path.join(self.work, name)
        os.makedirs(path)
        return path

    def cycle(self, agent):
        """Starts the plain agent, lets its copy run, stops it with /STOP=0."""
        self.addCleanup(agent.stop)
        self.assertEqual(agent.run(), 0)
        agent.wait_copy()
        self.assertEqual(agent.run("/STOP=0"), 0)
        self.assertTrue(agent.wait_copy_gone())
        self.assertTrue(lumtest.wait_for(lambda: not os.path.exists(agent.copy_path), timeout=15))

    def test_no_log_without_agent_or_without_log_flag(self):
        # A plain stub with the log flag: runs its setup to the end, no log.
        plain = self.folder("plain")
        with open(os.path.join(plain, "data.txt"), "w") as f:
            f.write("payload\n")
        pkg = lumtest.make_package(plain, "[Options]\nAgentLog = 1\n[Files]\ndata.txt = data.txt\n", name="tool.exe")
        self.assertEqual(lumtest.wine([pkg], timeout=60).returncode, 0)
        self.assertEqual(logs_in(plain), [])
        # An agent without the log flag: both roles run, no log.
        quiet = agentkit.Agent(self.folder("quiet"), name="tool.exe", log=False)
        self.cycle(quiet)
        self.assertEqual(logs_in(quiet.folder), [])

    def test_log_file_names_and_line_layout(self):
        started = time.localtime()
        tool = agentkit.Agent(self.folder("tool"), name="tool.exe")
        self.cycle(tool)
        # The copy X_tool.exe writes to X_tool.log too, not to X_X_tool.log.
        self.assertEqual(logs_in(tool.folder), ["X_tool.log"])
        lower = agentkit.Agent(self.folder("lower"), name="x_tool.exe")
        self.cycle(lower)
        self.assertEqual(logs_in(lower.folder), ["X_x_tool.log"])
        days = {time.strftime("%d/%m/%y", t) for t in (started, time.localtime())}

        with open(os.path.join(tool.folder, "X_tool.log"), "rb") as f:
            raw = f.read().decode("latin-1")
        self.assertTrue(raw.endswith("\r\n"))
        rows = raw[:-2].split("\r\n")
        parsed = []
        for row in rows:
            m = LINE.match(row)
            self.assertIsNotNone(m, repr(row))
            day, _, pad, tid, indent, message = m.groups()
            self.assertIn(day, days)
            self.assertEqual(len(pad), max(0, 5 - len(tid)), repr(row))
            parsed.append((tid, indent, message))

        plain = [(t, m) for t, i, m in parsed if i == "   "]
        copy = [(t, m) for t, i, m in parsed if i == " X "]
        plain_path = lumtest.winpath(tool.path)
        copy_path = lumtest.winpath(tool.copy_path)
        # The first run of the plain agent, from its separating empty lines to
        # its exit.
        first = [m for _, m in plain[:5]]
        self.assertEqual(first[:3], ["", "", "=== START === " + plain_path])
        self.assertTrue(first[3].startswith("CommandLine="), first)
        self.assertRegex(first[4], r"^Agent Version=\d+\.\d+\.\d+\.\d+$")
        self.assertIn(("=== EXIT === " + plain_path), [m for _, m in plain])
        self.assertEqual(plain[-1][1], "", "a run ends with an empty line")
        self.assertIn("PostProcessMessage(wm_ShutDown) to: " + copy_path, [m for _, m in plain])
        # The copy's lines carry " X " from its first line to its last.
        copy_messages = [m for _, m in copy]
        self.assertEqual(copy_messages[:3], ["", "", "=== START === " + copy_path])
        for step in ("ThisIs_X_AutoUpdate_Exe=TRUE", "CheckTestMode", "WinMain", "DeleteMySelf",
                     "=== EXIT === " + copy_path):
            self.assertIn(step, copy_messages)
        self.assertEqual(copy_messages[-1], "")
        self.assertEqual(len({t for t, _ in copy}), 1)
        self.assertNotIn(copy[0][0], {t for t, _ in plain})


if __name__ == "__main__":
    lumtest.main()
