"""scripts/results.py without Wine or a build: seeded names of known widths through CSV, table and exit code, with red
or unscored runs; the table, the demo's result line, the benchmark's section and the command line as literal facts.
FERRULON_RESULTS=FIRST:COUNT runs COUNT seeds (default 1:150); a failure names its seed. usage: results_test.py REPO"""
import itertools
import os
import random
import subprocess
import sys
import tempfile
import unittest

SCRIPT = os.path.join(sys.argv.pop(1) if len(sys.argv) > 1 else ".", "scripts", "results.py")
sys.path.insert(0, os.path.dirname(SCRIPT))
import results  # noqa: E402

# Pieces of names and their widths on a terminal (Chinese, Korean, fullwidth two; combining marks, joiners none).
PIECES = {"a": 1, "stick": 5, " ": 1, "U盘": 3, "数据 2": 6, "한글": 4, "Ａ": 2, "e\u0301": 1, "ｱｲ": 2,
          "x\u200dy": 2, ",": 1, '"': 1, "'q'": 3, "-x": 2, "é": 1, "\\": 1, "🙂": 2}


class Results(unittest.TestCase):
    def setUp(self):
        self.work = self.enterContext(tempfile.TemporaryDirectory())

    def csv(self, lines):
        path = os.path.join(self.work, "runs.csv")
        with results.open_text(path, "w") as file:
            file.write("".join(map(results.csv_line, [results.CSV_HEADER] + lines)))
        return path

    def test_seeded_names_through_csv_table_and_exit_code(self):
        first, count = map(int, os.environ.get("FERRULON_RESULTS", "1:150").split(":"))
        for seed in range(first, first + count):
            with self.subTest(seed=seed):
                self.one_case(random.Random(seed))

    def one_case(self, draw):
        runs, names, lines = draw.randint(1, 3), {}, []
        while len(names) < draw.randint(1, 5):
            pieces = draw.choices(list(PIECES), k=draw.randint(1, 3))
            names["/m/" + "".join(pieces)] = 3 + sum(PIECES[p] for p in pieces)   # its width
        for name in names:
            for run in range(1, runs + 1):
                verdict = draw.choices(["green", "red", "none"], [8, 1, 1])[0]
                score = draw.randint(1, 2_000_000) if verdict == "green" else ""
                lines.append(["2026-12-08T10:00:00+00:00", name, "/dev/sdb1", "vfat", "rw,flush", run, verdict, score])
                if verdict != "green":
                    break
        rows, verdicts = results.summary(self.csv(lines), runs), {line[6] for line in lines}
        self.assertEqual([row["directory"] for row in rows], list(names), "the names carried back")
        self.assertEqual(results.exit_code(rows), 1 if "red" in verdicts else 2 if "none" in verdicts else 0)
        for row in (row for row in rows if row["verdict"] == "green"):
            ordered = sorted(line[7] for line in lines if line[1] == row["directory"])
            middle = (ordered[(len(ordered) - 1) // 2] + ordered[len(ordered) // 2]) / 2
            self.assertEqual((row["median"], row["best"], row["worst"]), (middle, ordered[0], ordered[-1]))
            self.assertEqual(row["spread"] is None, len(ordered) == 1)   # no spread of a single run
        # Every line as wide as the header up to the mount options (unpadded), by the pieces' widths.
        table = results.table(rows, runs).splitlines()
        for line, name in zip(table[1:], names):
            self.assertEqual((line[:len(name) + 1], len(line) - len(name) + names[name] - len("rw,flush")),
                             (name + " ", len(table[0]) - len("mount options")), line)

    def test_table(self):   # the median between two scores half rounded up
        runs = "two,1,green,199999 two,2,green,200250 one,1,green,1500 red,1,green,900 red,2,red,"
        path = self.csv([["t", "/m/" + name, "d", "f", "o", *run]
                         for name, *run in (line.split(",") for line in runs.split())])
        self.assertEqual(results.table(results.summary(path, 2), 2), """\
directory  device  filesystem  runs    verdict    median     best    worst  spread  mount options
/m/two     d       f           2 of 2  green     200,125  199,999  200,250   0.1 %  o
/m/one     d       f           1 of 2  NO SCORE        -        -        -       -  o
/m/red     d       f           2 of 2  FAILED          -        -        -       -  o
""" + results.TABLE_FOOTER)

    def test_demo_result_counts_only_when_the_exit_code_bears_it_out(self):
        found, path = [], os.path.join(self.work, "log")
        lasts = [b"green 1234", b"green 1234\r", b"green 12x", b"red", b"none", b"green", b"green 1234567890", None]
        for code, last in itertools.product("012", lasts):   # None: no result line after an earlier "result: red"
            with open(path, "wb") as log:
                log.write(b"result: red\npass 50 done\n" + (b"result: " + last + b"\n" if last else b""))
            found.append(results.demo_result(path, code))
        self.assertEqual(found, ["green 1234"] * 2 + ["none"] * 9 + ["red"] + ["none"] * 3 + ["red"] + ["none"] * 8)

    def test_benchmark_section_spliced(self):
        with open(os.path.join(self.work, "drives.csv"), "w") as drives:
            drives.write("m,tmpfs,in memory,green,1500,75,0.52\nd,ext4,disk,green,3000,120,1.10\n"
                         "e,NTFS,ntfs-3g,red,,80,1.0\ng,FAT32,fusefat,unmounted,,,\n")
        section = results.benchmark_section(drives.name, "2026-12-08", "Wine 8.0, 2 cores", "2")
        self.assertIn("| m: | tmpfs | in memory | 1,500 | 1.00 | 75 s | 0.52 |\n| d: | ext4 | disk | 3,000 | 2.00 |"
                      " 120 s | 1.10 |\n| e: | NTFS | ntfs-3g | no score: red | | | |\n| g: | FAT32 | fusefat |"
                      " not mounted on this machine | | | |\n", section)
        marked = "before\n" + results.SECTION_BEGIN + " old -->\nold\n" + results.SECTION_END + "\nafter\n"
        self.assertEqual(results.splice(marked, "new\n"), "before\nnew\nafter\n")
        self.assertEqual(results.splice("before\n", "new\n"), "before\n\n## Scores by filesystem\n\nnew\n")
        self.assertRaises(ValueError, results.splice, marked.replace(results.SECTION_END, "end"), "new\n")

    def test_csv_and_the_command_line(self):   # the name: like an option, with a byte that is no UTF-8
        self.assertEqual(results.csv_line(["2026", "/m/a,b", 'q"', "x\ry", "y\nz", " é盘 ", ""]),
                         '2026,"/m/a,b","q""","x\ry","y\nz", é盘 ,\n')
        odd = "x\r\ny\n,\"z\r"   # read back too, whatever its line breaks
        self.assertEqual(results.summary(self.csv([["t", odd, "d", "f", "o", "1", "red", ""]]), 1)[0]["directory"], odd)
        name, path = os.fsdecode(b"-\xff U\xe7\x9b\x98"), os.path.join(self.work, "runs.csv")

        def call(*args):
            return subprocess.run([sys.executable, SCRIPT, *args], capture_output=True, check=True).stdout
        with open(path, "wb") as file:
            file.write(call("header") + call("csv-line", "t", name, "d", "f", "o", "1", "green", "1500"))
        self.assertIn(b"\n" + os.fsencode(name) + b"     d ", call("table", path, "1"))
        self.assertEqual(call("exit-code", path, "2"), b"2\n")


if __name__ == "__main__":
    unittest.main()
