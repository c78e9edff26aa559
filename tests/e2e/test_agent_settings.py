"""The resident agent answers from its files: agent codes 4, 5 and 8 to 11
read the original file and the INFO file beside it afresh at every call,
and codes 12 to 15 change the original file (with the readable forms of
the two times) so that a second program reading it sees the new values,
while every other line of the file stays as it was."""
import os
import unittest

import agentkit
import lumtest

ORIGINAL = ("; the product's own record\r\n"
            "[OriginalSetup]\r\n"
            "VersionOriginal = 3\r\n"
            "ProbeSecondsInterval=-1\r\n"
            "ReAskSecondsInterval=86400\r\n"
            "ProbeSecondsLast=4005641039\r\n"
            "ReAskSecondsLast=4005000000\r\n"
            "\r\n"
            "[MsgBox]\r\n"
            "FontName=Arial\r\n")
# 5 December 2026 14:03:59 and 1 January 2026 00:00:00 in agent seconds.
PROBE_LAST, REASK_LAST = 4005641039, 3976387200


def low32(v):
    return ((v + 2 ** 31) % 2 ** 32) - 2 ** 31


class AgentSettingsFiles(unittest.TestCase):
    def setUp(self):
        self.work = lumtest.work_dir(self.id().split(".")[-1])
        self.agent = agentkit.Agent(self.work, update_info="agent.info")
        self.addCleanup(self.agent.stop)
        self.original = os.path.join(self.work, "agent.original")
        self.info = os.path.join(self.work, "agent.info")
        with open(self.original, "wb") as f:
            f.write(ORIGINAL.encode())
        self.write_info(4)

    def write_info(self, version):
        with open(self.info, "wb") as f:
            f.write(f"[NewSetup]\r\nVersionNew={version}\r\n".encode())

    def send(self, code, value=0):
        rc, out = lumtest.wine_output([lumtest.build_file("agentmsg.exe"), "send", self.agent.copy_class,
                                       str(code), str(value)])
        self.assertEqual(rc, 0, f"agent code {code}: no answer")
        return int(out.strip().split("=", 1)[1])

    def second_program_reads(self, key):
        rc, out = lumtest.wine_output([lumtest.build_file("agentmsg.exe"), "ini", lumtest.winpath(self.original),
                                       "OriginalSetup", key])
        self.assertEqual(rc, 0)
        return out.strip().split("=", 1)[1]

    def test_codes_read_and_write_the_files_beside_the_agent(self):
        # No probe of its own while the codes below set the times: with an
        # interval of an hour and a last probe in the past it would be due,
        # and would write the time of now over the one under test.
        self.assertEqual(self.agent.run("/DELAY=600"), 0)
        self.agent.wait_copy()

        self.assertEqual(self.send(4), 3)
        self.assertEqual(self.send(5), 4)
        self.assertEqual(self.send(8), -1)
        self.assertEqual(self.send(9), 86400)
        self.assertEqual(self.send(10), low32(PROBE_LAST))  # the low half of a 64-bit time
        self.assertEqual(self.send(11), low32(4005000000))
        # The INFO file is read again at every call.
        self.write_info(5)
        self.assertEqual(self.send(5), 5)
        os.remove(self.info)
        self.assertEqual(self.send(5), 0)

        for code, value in ((12, 3600), (13, 0), (14, PROBE_LAST), (15, REASK_LAST)):
            self.assertEqual(self.send(code, low32(value)), 0)
        self.assertEqual(self.send(8), 3600)
        self.assertEqual(self.send(9), 0)
        self.assertEqual(self.send(10), low32(PROBE_LAST))
        with open(self.original, "rb") as f:
            text = f.read().decode("latin-1")
        # Times travel as the message's 32 bits and come out whole.
        self.assertEqual(self.second_program_reads("ProbeSecondsLast"), str(PROBE_LAST))
        self.assertEqual(self.second_program_reads("ReAskSecondsLast"), str(REASK_LAST))
        self.assertEqual(self.second_program_reads("ProbeSecondsInterval"), "3600")
        self.assertEqual(self.second_program_reads("ReAskSecondsInterval"), "0")
        # The readable forms, in the locale's time separator (":" here).
        self.assertEqual(self.second_program_reads("__ProbeSecondsLast"), "05-DEC-2026 14:03:59")
        self.assertEqual(self.second_program_reads("__ReAskSecondsLast"), "01-JAN-2026 00:00:00")
        # Everything else of the product's record is as it was.
        self.assertTrue(text.startswith("; the product's own record\r\n[OriginalSetup]\r\nVersionOriginal = 3\r\n"),
                        text)
        self.assertTrue(text.endswith("\r\n\r\n[MsgBox]\r\nFontName=Arial\r\n"), text)
        self.assertEqual(text.count("ProbeSecondsInterval="), 1, text)
        self.assertEqual(self.send(4), 3)
        self.assertFalse(os.path.exists(self.original + ".new~"))

    def test_without_an_original_file_nothing_is_made(self):
        os.remove(self.original)
        self.assertEqual(self.agent.run(), 0)
        self.agent.wait_copy()
        self.assertEqual(self.send(4), 0)
        self.assertEqual(self.send(8), 0)
        self.assertEqual(self.send(12, 60), 0)
        self.assertEqual(self.send(8), 0)
        self.assertFalse(os.path.exists(self.original), "the agent never makes the original file")


if __name__ == "__main__":
    lumtest.main()
