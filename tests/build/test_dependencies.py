"""The libraries' dependencies in CMakeLists.txt are those of their includes:
each folder of src/ is one library hwmc_<folder>, whose DEPS name exactly the
other folders its files include. The core never includes a front end (app,
batch): only those print, draw or end the process."""

import os
import re
import unittest

SOURCE_DIR = os.environ.get(
    "HWMC_SOURCE_DIR",
    os.path.abspath(os.path.join(os.path.dirname(__file__), "..", "..")))
FRONT_ENDS = {"app", "batch"}


def declared_dependencies():
    """{folder: set of hwmc_ folders it names in DEPS}."""
    with open(os.path.join(SOURCE_DIR, "CMakeLists.txt")) as f:
        text = f.read()
    out = {}
    for match in re.finditer(r"hwmc_subsystem\(\s*(\w+)([^)]*)\)", text):
        words = match.group(2).split()
        deps = words[words.index("DEPS") + 1:] if "DEPS" in words else []
        out[match.group(1)] = {d[len("hwmc_"):] for d in deps if d.startswith("hwmc_")}
    return out


def included_folders(folder):
    """{other folder: [files including it]} over the folder's sources."""
    out = {}
    path = os.path.join(SOURCE_DIR, "src", folder)
    for name in sorted(os.listdir(path)):
        if not name.endswith((".h", ".cpp")):
            continue
        with open(os.path.join(path, name), encoding="utf-8") as f:
            for line in f:
                m = re.match(r'\s*#\s*include\s+"(\w+)/', line)
                if m and m.group(1) != folder:
                    out.setdefault(m.group(1), []).append(name)
    return out


class Dependencies(unittest.TestCase):
    def test_every_folder_is_a_library(self):
        folders = {d for d in os.listdir(os.path.join(SOURCE_DIR, "src"))
                   if os.path.isdir(os.path.join(SOURCE_DIR, "src", d))}
        self.assertEqual(folders, set(declared_dependencies()))

    def test_the_core_includes_no_front_end(self):
        for folder in declared_dependencies():
            if folder in FRONT_ENDS:
                continue
            for other, files in included_folders(folder).items():
                self.assertNotIn(other, FRONT_ENDS,
                                 "src/%s includes %s/ in %s" % (folder, other, ", ".join(files)))

    def test_deps_are_the_folders_included(self):
        problems = []
        for folder, deps in sorted(declared_dependencies().items()):
            included = included_folders(folder)
            for other in sorted(set(included) - deps):
                problems.append("hwmc_%s includes %s/ (%s) without it in DEPS"
                                % (folder, other, included[other][0]))
            for other in sorted(deps - set(included)):
                problems.append("hwmc_%s has hwmc_%s in DEPS, never included" % (folder, other))
        self.assertEqual(problems, [])


if __name__ == "__main__":
    unittest.main()
