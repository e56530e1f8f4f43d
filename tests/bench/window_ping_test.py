#!/usr/bin/python3
"""The liveness log's reading: which pings count, and how long each went without an answer."""

import os
import sys
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "../../bench"))
import window_ping  # noqa: E402

LOG = """\
name 0x200001 Korvel в1.0
name 0x400001 Справка
ping 1 0x200001 100.000
ping 2 0x400001 100.000
pong 1 0x200001 100.004
ping 3 0x200001 100.050
pong 2 0x400001 109.000
ping 4 0x200001 100.100
pong 3 0x200001 100.420
pong 3 0x200001 100.900
ping 5 0x200001 100.150
pong 9 0x200001 100.160
garbage line
ping 6 0x200001 100.200
""".splitlines(keepends=True)


class LongestSilence(unittest.TestCase):
    def test_cases(self):
        cases = [
            # (title, from, to): (longest ms, pings, unanswered)
            (("Korvel", 99.0, 101.0), (900, 5, 3)),    # 4, 5 and 6 unanswered count until 101
            (("Korvel", 99.0, 100.06), (370, 2, 0)),   # the late answer to 3 counts in full
            (("Korvel", 100.14, 100.16), (10, 1, 1)),  # 5: a pong of an unknown ping is no answer
            (("Справка", 0.0, 200.0), (9000, 1, 0)),   # only the titled window's pings
            (("Korvel", 200.0, 300.0), (0, 0, 0)),     # nothing sent in the span
            (("Нет такого", 0.0, 200.0), (0, 0, 0)),
        ]
        for (title, start, end), (longest, pings, unanswered) in cases:
            with self.subTest(title=title, start=start, end=end):
                got = window_ping.longest_silence(LOG, title, start, end)
                self.assertAlmostEqual(got[0], longest, delta=0.5)
                self.assertEqual(got[1:], (pings, unanswered))

    def test_a_second_answer_does_not_shorten_the_first(self):
        _, pings = window_ping.parse_log(LOG)
        self.assertEqual(pings[("0x200001", "3")], [100.050, 100.420])


if __name__ == "__main__":
    unittest.main()
