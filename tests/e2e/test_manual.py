"""The manual page against the program: what it quotes is what the program
says."""

import os
import shutil
import subprocess
import unittest

from harness import SOURCE_DIR, run_piped

MANUAL = os.path.join(SOURCE_DIR, "doc", "hwmc.1")


def manual_text():
    r = subprocess.run(["groff", "-man", "-Tutf8", "-P-cbou", MANUAL],
                       capture_output=True, text=True, check=True,
                       env={"PATH": os.environ.get("PATH", "/usr/bin:/bin"), "LANG": "C.UTF-8"})
    return " ".join(r.stdout.split())


@unittest.skipUnless(shutil.which("groff"), "groff is not installed")
class ManualQuotesTheProgram(unittest.TestCase):
    def test_record_messages(self):
        manual = manual_text()
        bad_files = {
            "allele.txt": "aa:3\nab:2\na1:5\n",
            "negative.txt": "aa:3\nab:-2\n",
            "large.txt": "aa:3\nab:9999999999\n",
        }
        for name, content in bad_files.items():
            code, out, _, folder = run_piped([name, "out.txt"], files={name: content})
            shutil.rmtree(folder, ignore_errors=True)
            self.assertEqual(code, 1)
            line = next(l for l in out.decode("utf-8").splitlines() if "record" in l)
            message = line.strip().split(' "')[0]
            self.assertTrue(message + ' "record" of file "file"' in manual,
                            "%s: the manual does not quote %r" % (name, message))


if __name__ == "__main__":
    unittest.main()
