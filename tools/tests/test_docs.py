"""The documentation and the man page against the program: every configuration key and
every table column is documented, the pages' links lead somewhere, and the command for
many directories works as written."""

import filecmp
import os
import re
import shutil
import subprocess
import tempfile
import unittest

from support import REPO, write

KINREC = os.environ.get("KINREC_EXE")


def read(*parts):
    with open(os.path.join(REPO, *parts), encoding="utf-8") as f:
        return f.read()


def table_names(source, table):
    """The leading string of each entry of a `table[...] = { {"name", ...}, ... };`."""
    m = re.search(r"\b" + table + r"\[[^\]]*\]\s*=\s*\{(.*?)\n\};", source, re.S)
    return re.findall(r'\{\s*"([^"]+)"\s*,', m.group(1)) if m else []


def man_text(text):
    """The man page's words with groff escapes resolved or dropped."""
    text = re.sub(r"\\f(\[[^\]]*\]|\(..|.)", "", text)   # font changes
    text = re.sub(r"\\\((aq|cq)", "'", text)
    text = re.sub(r"\\\((dq|lq|rq)", '"', text)
    text = text.replace("\\(rs", "\\\\").replace("\\e", "\\\\")
    text = re.sub(r"\\[&%]", "", text)
    return re.sub(r"\\(.)", r"\1", text)                # \- \_ \  and the like


def mentions(text, name):
    return re.search(r"(?<![A-Za-z0-9_])" + re.escape(name) + r"(?![A-Za-z0-9_])",
                     text) is not None


def settings_table():
    """(field, key or None, keyword, default, meaning) of each X(...) of KINREC_SETTINGS."""
    header = read("Include", "public", "kinrec.h")
    m = re.search(r"#define KINREC_SETTINGS\(X\)(.*?)\n// clang-format on", header, re.S)
    text = re.sub(r"\\\n", " ", m.group(1)) if m else ""
    entries = re.findall(r'X\((\w+),\s*(nullptr|"\w+"),\s*"(\w+)",\s*(-?\d+),\s*((?:"[^"]*"\s*)+)\)',
                         text)
    return [(field, None if key == "nullptr" else key.strip('"'), keyword, int(default),
             "".join(re.findall(r'"([^"]*)"', meaning)))
            for field, key, keyword, default, meaning in entries]


def setting_words():
    """field -> the words a setting takes for its values 0, 1, 2 ... (features/Library.cpp)."""
    source = read("features", "Library.cpp")
    return {field: words.split() for field, words in
            re.findall(r'field == &Settings::(\w+) \? "([a-z ]+)"', source)}


class DocumentedNamesTest(unittest.TestCase):
    SETTINGS = settings_table()
    WORDS = setting_words()
    KEYS = [key for _, key, _, _, _ in SETTINGS if key]
    COLUMNS = table_names(read("features", "DsvConverter.cpp"), "kColumns")

    def test_sources_parsed(self):
        self.assertEqual(len(self.SETTINGS), 10, self.SETTINGS)
        self.assertEqual(len(self.KEYS), 8, self.KEYS)
        self.assertEqual(self.WORDS, {"Overflow": ["wrap", "clip", "raise"]})
        self.assertEqual(len(self.COLUMNS), 19, self.COLUMNS)

    def test_settings_tables_follow_the_source(self):
        """The configuration page's table of keys is the source's, row by row; the man
        page gives every key with its default."""
        page = read("docs", "configuration.md")
        rows = re.findall(r"^\| `([A-Z]+)` \| (-?\d+|[a-z]+) \| (.*) \|$", page, re.M)
        shown = {field: (self.WORDS[field][default] if field in self.WORDS else str(default))
                 for field, _, _, default, _ in self.SETTINGS}
        expected = [(key, shown[field], meaning)
                    for field, key, _, _, meaning in self.SETTINGS if key]
        self.assertEqual(rows, expected)
        man = man_text(read("kinrec.1.in"))
        for field, key, _, _, _ in self.SETTINGS:
            if key:
                with self.subTest(key=key):
                    self.assertRegex(man, r"(?m)^\.B " + key + " " + shown[field] + "$")

    def test_names_in_documents(self):
        man = man_text(read("kinrec.1.in"))
        documents = [("docs/configuration.md", self.KEYS), ("docs/usage.md", self.COLUMNS),
                     ("kinrec.1", self.KEYS + self.COLUMNS)]
        for document, names in documents:
            text = man if document == "kinrec.1" else read(*document.split("/"))
            for name in names:
                with self.subTest(document=document, name=name):
                    self.assertTrue(mentions(text, name), name + " is not in " + document)


def anchor(heading):
    """The fragment a Markdown renderer gives a heading: lower case, punctuation dropped,
    spaces as hyphens."""
    return re.sub(r"[^a-z0-9 _-]", "", heading.strip().lower()).replace(" ", "-")


class LinksTest(unittest.TestCase):
    def test_relative_links_lead_somewhere(self):
        """Every link between the README and the pages names a file that exists and, with
        a fragment, one of its headings."""
        pages = ["README.md"] + [os.path.join("docs", name)
                                 for name in sorted(os.listdir(os.path.join(REPO, "docs")))
                                 if name.endswith(".md")]
        self.assertGreater(len(pages), 5)
        for page in pages:
            text = re.sub(r"^```.*?^```", "", read(page), flags=re.S | re.M)
            for target in re.findall(r"\]\(([^)\s]+)\)", text):
                if re.match(r"[a-z]+:", target):
                    continue
                with self.subTest(page=page, link=target):
                    path, _, fragment = target.partition("#")
                    full = os.path.normpath(os.path.join(REPO, os.path.dirname(page), path))
                    self.assertTrue(os.path.exists(full), full)
                    if fragment:
                        with open(full, encoding="utf-8") as f:
                            headings = re.findall(r"^#+ (.*)$", f.read(), re.M)
                        self.assertIn(fragment, [anchor(h) for h in headings])


def readme_batch_line():
    """The find ... | xargs line of the fenced blocks of "Many files, many machines"."""
    page = read("docs", "many-machines.md")
    blocks = re.findall(r"^```\n(.*?)^```", page, re.S | re.M)
    lines = [line for block in blocks for line in block.splitlines()]
    found = [line for line in lines if line.startswith("find data ") and "xargs" in line]
    return found[0] if len(found) == 1 else None


RECORDINGS = {
    os.path.join("data", "a", "x.csv"): ["0,0,0,8192,0,0,0", "1,120,-40,8150,300,-90,20",
                                         "2,200,-80,8000,650,-180,40", "3,0,0,8192,0,0,0"],
    os.path.join("data", "a", "y.csv"): ["0,8192,0,0,0,0,0", "1,8000,500,100,-400,0,900",
                                         "2,7900,900,-200,-800,100,1500"],
    os.path.join("data", "b", "c", "z.csv"): ["0,0,-8192,0,0,0,0", "1,300,-8100,60,0,2000,0",
                                              "2,-300,-8000,0,0,4000,-70"],
}
TABLES = [path[:-4] + "_DSV.csv" for path in RECORDINGS]


@unittest.skipUnless(KINREC, "KINREC_EXE is not set")
@unittest.skipUnless(shutil.which("sh"), "no POSIX shell")
class ReadmeBatchCommandTest(unittest.TestCase):
    def kinrec(self, cwd, env, *args):
        p = subprocess.run(["kinrec"] + list(args), cwd=cwd, env=env, stdout=subprocess.PIPE,
                           stderr=subprocess.PIPE, text=True, timeout=120)
        self.assertEqual(p.returncode, 0, p.stderr)

    def test_find_xargs_line(self):
        line = readme_batch_line()
        self.assertIsNotNone(line, "no single find ... | xargs line under the heading")
        with tempfile.TemporaryDirectory() as tmp:
            bindir = os.path.join(tmp, "bin")
            os.mkdir(bindir)
            os.symlink(os.path.abspath(KINREC), os.path.join(bindir, "kinrec"))
            env = dict(os.environ)
            env["PATH"] = os.pathsep.join([bindir, os.path.dirname(os.path.abspath(KINREC)),
                                           env.get("PATH", "")])

            run_dir = os.path.join(tmp, "run")
            for path, rows in RECORDINGS.items():
                os.makedirs(os.path.dirname(os.path.join(run_dir, path)), exist_ok=True)
                write(os.path.join(run_dir, path), "time,ax,ay,az,gx,gy,gz\n" +
                      "\n".join(rows) + "\n")
            # An earlier table under x's name, from other data: to be replaced, not read.
            earlier = os.path.join(run_dir, "data", "a", "x_DSV.csv")
            write(os.path.join(tmp, "old.csv"), "0,1000,0,0,0,0,0\n1,2000,0,0,0,0,0\n")
            self.kinrec(tmp, env, "old.csv", earlier)
            with open(earlier) as f:
                earlier_table = f.read()
            hand_dir = os.path.join(tmp, "hand")
            shutil.copytree(run_dir, hand_dir)

            p = subprocess.run(["sh", "-c", line], cwd=run_dir, env=env,
                               stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True,
                               timeout=300)
            self.assertEqual(p.returncode, 0, line + "\n" + p.stderr)
            for directory in {os.path.dirname(path) for path in RECORDINGS}:
                self.kinrec(os.path.join(hand_dir, directory), env, "*.csv")

            for tree in (run_dir, hand_dir):
                files = sorted(os.path.relpath(os.path.join(d, f), tree)
                               for d, _, names in os.walk(tree) for f in names)
                self.assertEqual(files, sorted(list(RECORDINGS) + TABLES), tree)
            with open(earlier) as f:
                self.assertNotEqual(f.read(), earlier_table, "x_DSV.csv was not replaced")
            for table in TABLES:
                with self.subTest(table=table):
                    self.assertTrue(filecmp.cmp(os.path.join(run_dir, table),
                                                os.path.join(hand_dir, table), shallow=False))


if __name__ == "__main__":
    unittest.main()
