#!/usr/bin/env python3
"""Both programs as their users run them: the whole console text, the exit status and the bytes
of every file, one row per run.

Usage: programs_test.py KALDEX MORVIX EXAMPLES [unittest arguments]
Every program starts under the command E2E_RUNNER when it is set (qemu-user, Wine or Node).
E2E_SYSTEM says what the programs run on: posix (the default), windows (console text UTF-16LE with
CR LF, read as UTF-8 with LF) or node (WebAssembly); the last two have no pseudo-terminal, POSIX
signals or another user, and take arguments as UTF-8 only.
"""
import contextlib, fcntl, os, pickle, random, re, resource, shlex, signal, socket, subprocess
import sys, tempfile, termios, time, unittest
from dataclasses import dataclass
from pathlib import Path

KALDEX, MORVIX, EXAMPLES = map(os.path.abspath, sys.argv[1:4])
# The programs start with the signal handling of a shell, also when this runs under nohup.
for number in (signal.SIGHUP, signal.SIGINT, signal.SIGTERM):
    signal.signal(number, signal.SIG_DFL)
SYSTEM = os.environ.get("E2E_SYSTEM", "posix")
WINDOWS = SYSTEM == "windows"
RUNNER = shlex.split(os.environ.get("E2E_RUNNER", ""))


def make(folder, **files):
    for name, data in files.items():
        Path(folder, name).write_bytes(data)


def bounded(prepare=None):
    """What a program's process does before it starts: no file past 1 GiB, prepare, and an alarm
    that outlives the start and ends the program should it hang, whatever becomes of the test."""
    def start():
        resource.setrlimit(resource.RLIMIT_FSIZE, (1 << 30, resource.RLIM_INFINITY))
        if prepare:
            prepare()
        signal.alarm(60)
    return start


def run(program, args, folder, keys=b"y", stdin=subprocess.PIPE, pause=0, preexec_fn=None,
        **popen):
    """Runs program in folder as from a shell; the exit status, or minus the ending signal. Its
    standard output is a pipe that does not block, so a long line is taken in parts, and is read
    from after pause seconds."""
    output, console = os.pipe()
    os.set_blocking(console, bool(WINDOWS))
    process = subprocess.Popen(RUNNER + [program] + args, cwd=folder, stdin=stdin, stdout=console,
                               stderr=console, preexec_fn=bounded(preexec_fn), **popen)
    os.close(console)
    if stdin == subprocess.PIPE:
        for step in (lambda: process.stdin.write(keys), process.stdin.close):
            with contextlib.suppress(BrokenPipeError):  # the program need not read the keys
                step()
    time.sleep(pause)
    with open(output, "rb") as reader:
        console = reader.read()
    process.wait(timeout=60)
    windows = lambda text: text.decode("utf-16-le").replace("\r\n", "\n").encode()
    return process.returncode, windows(console) if WINDOWS else console


LISTING = b'10 print "HI"\n20 goto 10\n'
DUMP = b'10 \x74"HI"\r20 \x6e10\r'  # print is 74, goto 6E
DUMP2000 = b'\x0a\x00\x74"HI"\r\x14\x00\x6e10\r\x00\xff'
LIST = b'10 PRINT "HI"\r\n20 GOTO 10\r\n'
# The version both banners show, set once in the build.
VERSION = re.search(rb"project\(\w+ VERSION ([\d.]+)", Path(__file__).parents[2].joinpath(
    "CMakeLists.txt").read_bytes()).group(1)
USAGE = {
    "K": b"\nKALDEX Version " + VERSION +
         b" - Converts a text file To a Bally Basic binary dump\n\n  Usage:\n"
         b"    KALDEX program.txt output.prg [-2K] [-s]\n    -2K:\n"
         b"      write .prg as a 2000-baud recording instead of a 300-baud one.\n    -s:\n"
         b"      read the listing as MORVIX shows it: capitals and symbols are commands.\n\n",
    "M": b"\nMORVIX Version " + VERSION +
         b" - Converts a Bally Basic binary dump to a text file\n\n  Usage:\n"
         b"    MORVIX program.prg output.txt [-e] [-n] [-v] [-2k]\n    -e:\n"
         b"      editable output, special characters and commands are converted to\n      lowercase"
         b" words\n    -n:\n      display character number {n} on unrecognized characters,\n"
         b"      instead of question marks\n    -v:\n"
         b"      look for VIPERSoft BASIC keywords, otherwise assume Bally BASIC\n    -2k:\n"
         b"      process .prg as a 2000-baud recording instead of a 300-baud one.\n\n",
}
PROGRAMS = {"K": (KALDEX, LISTING, DUMP), "M": (MORVIX, DUMP, LIST)}  # path, sample, its output

# Texts of the console and files; the old output, OLD, outlasts every output.
OLD = b"OLD OUTPUT" * 5
Q = b"Output file already exists. Overwrite? [y/n]\n"
YES, ABORT = Q + b"Y\n", b"Operation aborted.\n"
CREATE = YES + b"An error ocurred while creating the output file: "
FULL = b"An error occurred while writing the output file: /dev/full\n\n"
MIXED = b"\x0a\x00\x74\x7f\x80\r\x00\xff"  # each option changes it in its own way
READ = b"An error occurred while reading the input file: /proc/self/mem\n\n"
PIPE, NULL, CLOSED = subprocess.PIPE, "/dev/null", None  # standard inputs, or a file of the folder
LONG = b'10 print "OK"\n10 print ' + b"\x01" * (16 << 20) + b"\n"

COMMANDS = (b"LIST CLEAR RUN NEXT LINE IF GOTO GOSUB RETURN BOX FOR INPUT PRINT STEP RND TO DATA "
            b"CIRCLE POINT DEFAULT SHOW SNAP ZERO SCROLL").split()


def unambiguous_line(rand, viper_soft, baud2000):
    # A record whose listing for reading KALDEX -s reads back (see its manual), often with
    # capitals near a command's name.
    while True:
        codes = b"".join(rand.choice([bytes([rand.randrange(0x68, 0x80 if viper_soft else 0x78)]),
                                      b'"', b" ", rand.choice(COMMANDS)[rand.randrange(2):] +
                                      rand.choice([b"", b"A", b" "]),
                                      bytes([rand.randrange(0x20, 0x68)])])
                         for _ in range(rand.randrange(12)))
        quoted, run, fine = False, b"", True
        for code in codes + b"\r":
            if 0x41 <= code <= 0x5A and not quoted:
                run += bytes([code])
            else:
                fine &= run not in COMMANDS and not (code >= 0x68 and (run or quoted))
                quoted, run = quoted ^ (code == 0x22), b""
        number = rand.choice([rand.randrange(-32768, -256), rand.randrange(-255, 32768)])
        if fine:
            return (number.to_bytes(2, "little", signed=True) if baud2000 else b"") + codes + b"\r"


@dataclass(frozen=True)
class Row:
    """A run of each program named (K, M) with args in a folder of test files: what it shows
    (status 0; "usage", or "output": its own output) or fails with (status 1); the file its second
    argument names ("out" with fewer), by default its output after a success and as it was after a
    failure; the keys, the input "in" when not the sample, the standard input, what it needs (a
    path, "byte arguments", "posix", "descriptors", or "native": no emulator or sanitizer) and its
    memory. Its unique name is what a failure shows."""
    name: str
    programs: str
    args: object  # a text split at blanks, or a list
    shows: object = None
    fails: bytes = None
    file: object = "by default"
    keys: bytes = b"y"
    given: bytes = None
    stdin: object = PIPE
    needs: str = None
    memory: int = None  # KiB of address space
    closes: int = None  # a standard descriptor closed at the start


ROWS = [
    Row("usage bare", "KM", "", "usage", file=OLD),
    Row("usage one parameter", "KM", "in", "usage", file=OLD),
    Row("non-ASCII paths", "KM", ["my caf\u00e9", "\u25b2"], b""),  # a new output too
    Row("q then y", "KM", "in out", Q + b"Q\nY\n", keys=b"q\r\ny"),  # line ends are not keys
    Row("q then n", "KM", "in out", fails=Q + b"Q\nN\n" + ABORT, keys=b"qn"),
    Row("empty over old", "KM", "in out", YES, given=b"", file=b""),  # not a byte of OLD stays
    # No keys, or a standard input that cannot be read: the answer is no.
    Row("no keys", "KM", "in out", fails=Q + ABORT, keys=b"", stdin=NULL),
    Row("input closed", "KM", "in out", fails=Q + ABORT, keys=b"", stdin=CLOSED),
    # A stream of keys gives up after 64 (line ends and zero bytes too), and none echo after.
    Row("keys without answer", "KM", "in out", fails=Q + b"Q\n" * 32 + ABORT,
        keys=b"q\n" * 40 + b"y"),
    Row("endless zero keys", "KM", "in out", fails=Q + ABORT, keys=b"\0" * 200000),
    Row("input a folder", "KM", "in out", fails=Q + ABORT, keys=b"", stdin="sub", needs="posix"),
    Row("folder in", "KM", "sub out", fails=b"Can't open file: sub\n\n"),
    Row("folder out", "KM", "in sub", fails=CREATE[len(YES):] + b"sub\n\n"),
    *(Row("same file " + name, "KM", "in " + name, fails=CREATE + name.encode() + b"\n\n")
      for name in ("in", "./in", "link", "hard")),
    # A device (/dev/full too) or a pipe holds nothing to lose: no question. A standard input that
    # is the input itself gives no keys: the answer is no.
    Row("disk full", "KM", "in /dev/full", fails=FULL, needs="/dev/full"),
    Row("output a pipe", "KM", "in /dev/stdout", "output", file=None, keys=b"",
        needs="descriptors"),
    Row("input the keys", "KM", "/dev/stdin out", fails=Q + ABORT, needs="descriptors"),
    # A standard stream closed at the start is not there, whatever stands in for it.
    Row("output closed", "KM", "in /dev/stdout", fails=b"", file=None, closes=1,
        needs="descriptors"),
    Row("input closed named", "KM", "/dev/fd/0 new", fails=b"Can't open file: /dev/fd/0\n\n",
        stdin=CLOSED, needs="descriptors"),
    Row("input also the keys", "KM", "in out", fails=Q + ABORT, stdin="in"),
    # It opens, but address 0 cannot be read; with -2K no end marker follows.
    Row("read fails", "KM", "/proc/self/mem new", fails=READ, file=b"", needs="/proc/self/mem"),
    Row("read fails -2K", "K", "/proc/self/mem new -2K", fails=READ, file=b"",
        needs="/proc/self/mem"),
    # Options are checked before the input is opened.
    Row("first bad option", "KM", "missing out -2K bad -x", fails=b"Invalid parameter: bad\n\n"),
    # Path and option bytes that are not UTF-8 reach the system unchanged, and the console too but
    # for 0x80..0x9F, which some terminals obey. Nothing from outside drives the terminal.
    Row("option bytes", "KM", "in out -2\udccb", fails=b"Invalid parameter: -2\xcb\n\n",
        needs="byte arguments"),
    Row("input path bytes", "KM", "x\udce9\udced\udca0\udc9b out",
        fails=b"Can't open file: x\xe9\xed\xa0M-^[\n\n", needs="byte arguments"),
    Row("output path bytes", "KM", "in out\udce9", b"", keys=b"", needs="byte arguments"),
    Row("escape in path", "KM", "no\x1b[2Jsuche\u0301 out",
        fails=b"Can't open file: no^[[2Jsuche\xcc\x81\n\n"),  # a decomposed letter as it is
    Row("paths first", "K", "in -2K", b""),  # the first two parameters are always paths
    Row("-2K twice", "K", "in new -2k -2K", b"", file=DUMP2000),
    # The listing as MORVIX shows it, with either option first, in either case, repeated.
    *(Row("reading form" + options, "K", "in new" + options, b"", given=LIST, file=dump)
      for options, dump in ((" -S", DUMP), (" -s -2K", DUMP2000), (" -2k -s -s", DUMP2000))),
    Row("unknown token", "K", "in new", given=b"10 print X\n20 Pr\x1b[2Jint\n30 goto 10\n",
        file=b"10 \x74X\r20 P",
        fails=b"Error: unknown token at line 2 - #r^[[2Jint#\n20 Pr^[[2Jint\n\n"),
    Row("control character", "K", "in new",
        given=b"1\n\n3 X\tY\x1b]0;T\x07\xc2\x9b2J\xe9\xe2\x80\xae\n4\n", file=b"1\r\r3 X",
        fails=b"Error: invalid character at line 3\n3 X^IY^[]0;T^GM-^[2J\xef\xbf\xbd<U+202E>\n\n"),
    Row("byte-order mark", "K", "in new", given=b"\xef\xbb\xbf" + LISTING, file=b"",
        fails=b'Error: invalid character at line 1\n<U+FEFF>10 print "HI"\n\n'),
    Row("missing brace", "K", "in new", given=b"10 print {34\n20 goto 10\n", file=b"10 \x74",
        fails=b"Error: got to end of line without finding right brace to match left brace at line 1"
        b"\n10 print {34\n\n"),
    Row("line ends", "K", "in new", b"", given=b"1\r2\r\n3\n4\x005", file=b"1\r2\r3\r4\r5\r"),
    Row("long line", "K", "in new", given=b"A" * 300000 + b"\t", file=b"A" * 300000,
        fails=b"Error: invalid character at line 1\n" + b"A" * 300000 + b"^I\n\n"),
    Row("long line, little memory", "K", "in new", given=LONG, file=b'10 \x74"OK"\r10 \x74',
        fails=b"Error: invalid character at line 2\n10 print " + b"^A" * (16 << 20) + b"\n\n",
        memory=100000, needs="native"),
    Row("memory runs out", "K", "in new", given=LONG, file=b'10 \x74"OK"\r',
        fails=b"Not enough memory to go on.\n\n", memory=20000, needs="native"),
    Row("no line number", "K", "in new -2K", given=b"10 X\n\n30 Y\n", file=b"\x0a\x00X\r",
        fails=b"Error: missing line number at line 2\n\n\n"),
    Row("line number -256", "K", "in new -2K", given=b"10 X\n-256 Y\n", file=b"\x0a\x00X\r",
        fails=b"Error: line number out of range at line 2\n-256 Y\n\n"),
    Row("option -ee", "M", "in out -ee", fails=b"Invalid parameter: -ee\n\n"),
    Row("option -2", "M", "in out -E -2 -x", fails=b"Invalid parameter: -2\n\n"),
    Row("option before paths", "M", "-e in out", fails=b"Invalid parameter: out\n\n"),
    Row("2000 baud", "M", "in new -2k", b"", given=DUMP2000, file=LIST),
    *(Row("options" + (options or " none"), "M", "in new" + options, b"", given=MIXED,
          file=listing) for options, listing in (
        ("", b"?PRINT ??\r\n?"), (" -e", b"?null print ??\r\nnull ?"),
        (" -n", b"{10}PRINT {127}{-128}\r\n{-1}"), (" -v", b"?PRINT SCROLL ?\r\n?"),
        (" -2k", b"10 PRINT ??\r\n"), (" -E -n -V -2K -e", b"10 print scroll {-128}\r\n"))),
]
assert len({row.name for row in ROWS}) == len(ROWS), "every row has a name of its own"
# Or a path that exists. Wine opens neither /dev/stdout nor /dev/stdin.
HAS = {"byte arguments": SYSTEM == "posix", "posix": SYSTEM == "posix", "descriptors": not WINDOWS}
HAS["native"] = HAS["posix"] and not RUNNER and not os.environ.get("E2E_SANITIZED")


class Programs(unittest.TestCase):
    def test_runs(self):
        for row in ROWS:
            args = row.args.split() if isinstance(row.args, str) else row.args
            status, shows = (0, row.shows) if row.fails is None else (1, row.fails)
            for letter in row.programs:
                program, sample, output = PROGRAMS[letter]
                given = sample if row.given is None else row.given
                with self.subTest(row=row.name, program=Path(program).name), \
                        tempfile.TemporaryDirectory() as folder:
                    if row.needs and not HAS.get(row.needs, os.path.exists(row.needs)):
                        self.skipTest("this system lacks what the row needs: " + row.needs)
                    make(folder, **{"in": given, "my caf\u00e9": given, "out": OLD})
                    os.mkdir(Path(folder, "sub"))
                    os.symlink("in", Path(folder, "link"))
                    os.link(Path(folder, "in"), Path(folder, "hard"))
                    # A device is no file of the folder: none of that name is there.
                    path = Path(folder, Path(args[1] if len(args) > 1 else "out").name)
                    before = path.read_bytes() if path.is_file() else None
                    file = row.file if row.file != "by default" else before if status else output
                    entries = len(os.listdir(folder)) + (not path.exists() and file is not None)
                    stdin = (row.stdin if row.stdin in (PIPE, CLOSED) else
                             os.open(Path(folder, row.stdin), os.O_RDONLY))
                    limit = lambda: resource.setrlimit(resource.RLIMIT_AS, (row.memory << 10,) * 2)
                    self.assertEqual(
                        (status, {"usage": USAGE[letter], "output": output}.get(shows, shows)),
                        run(program, args, folder, row.keys, stdin,
                            pause=0.3 if len(shows) > 65536 else 0,
                            preexec_fn=(lambda: os.close(0)) if row.stdin == CLOSED else
                            (lambda: os.close(row.closes)) if row.closes else
                            limit if row.memory else None))
                    if stdin != row.stdin:
                        os.close(stdin)
                    self.assertEqual(file, path.read_bytes() if path.is_file() else None)
                    self.assertEqual(given, Path(folder, "in").read_bytes())
                    self.assertEqual(entries, len(os.listdir(folder)))

    def test_round_trips(self):
        # Megabytes through MORVIX -e -n -v and back through KALDEX, in both layouts: every
        # byte value, every line number but the end marker, many buffers; and the example.
        rand = random.Random(2026)
        dump2000 = bytearray()
        while len(dump2000) < 3000000:
            number = rand.choice([rand.randrange(0xFF00), rand.randrange(0xFF01, 0x10000)])
            content = rand.randbytes(rand.randrange(60)).replace(b"\r", b"\n")
            dump2000 += number.to_bytes(2, "little") + content + b"\r"
        with tempfile.TemporaryDirectory() as folder:
            self.assertEqual((0, b""), run(KALDEX, [EXAMPLES + "/boxes.txt", "boxes"], folder))
            for dump, options in ((Path(folder, "boxes").read_bytes(), []),
                                  (rand.randbytes(3000000) + b"\r", []),
                                  (bytes(dump2000) + b"\0\xff", ["-2K"])):
                make(folder, dump=dump, list=b"", back=b"")
                lister = ["dump", "list", "-e", "-n", "-v"] + options
                self.assertEqual((0, Q + b"Y\n"), run(MORVIX, lister, folder))
                self.assertEqual((0, Q + b"Y\n"), run(KALDEX, ["list", "back"] + options, folder))
                self.assertTrue(dump == Path(folder, "back").read_bytes(), "round trip differs")

    def test_reading_form_round_trips(self):
        # 1,000 random unambiguous dumps in each form of MORVIX for reading come back from KALDEX
        # -s the same. Each line is read on its own, so one run takes all the dumps of a form.
        rand = random.Random(31)
        for lister in ([], ["-v"], ["-2k"], ["-2k", "-v"]):
            dumps = set()
            while len(dumps) < 1000:
                dumps.add(b"".join(unambiguous_line(rand, "-v" in lister, "-2k" in lister)
                                   for _ in range(rand.randrange(1, 5))))
            end = b"\0\xff" if "-2k" in lister else b""
            with self.subTest(lister), tempfile.TemporaryDirectory() as folder:
                make(folder, dump=b"".join(sorted(dumps)) + end)
                self.assertEqual((0, b""), run(MORVIX, ["dump", "list"] + lister, folder))
                self.assertEqual((0, b""),
                                 run(KALDEX, ["list", "back", "-s"] + ["-2K"] * bool(end), folder))
                back = Path(folder, "back").read_bytes()
                self.assertTrue(back == b"".join(sorted(dumps)) + end,
                                next((dump for dump in dumps if dump not in back), "the end"))

    def test_permissions_of_an_unprivileged_user(self):
        # The other user runs a copy of the program, as it may not reach the checkout.
        temporary = Path(tempfile.gettempdir()).resolve()
        if SYSTEM != "posix" or os.geteuid() != 0:
            self.skipTest(f"{SYSTEM}: another user is POSIX only, and needs root")
        if not all(os.stat(folder).st_mode & 0o001 for folder in (temporary, *temporary.parents)):
            self.skipTest(f"another user cannot reach the temporary folder {temporary}")
        # An output it may write but not read counts as new: no question, and it is written. (An
        # input or output it may not open fails as a missing input or a folder does: rows above.)
        for letter, (program, sample, output) in PROGRAMS.items():
            with self.subTest(letter), tempfile.TemporaryDirectory() as folder:
                make(folder, **{"in": sample, "out": OLD, "run": Path(program).read_bytes()})
                for name, mode in zip(("", "run", "in", "out"), (0o777, 0o755, 0o400, 0o200)):
                    os.chown(Path(folder, name), 65534, 65534)
                    os.chmod(Path(folder, name), mode)
                self.assertEqual((0, b""), run(str(Path(folder, "run")), ["in", "out"], folder,
                                               user=65534, group=65534, extra_groups=[]))
                self.assertEqual(output, Path(folder, "out").read_bytes())

    def test_question_on_a_terminal(self):
        if SYSTEM != "posix":
            self.skipTest(f"{SYSTEM}: pseudo-terminal and signals are POSIX only")
        question = Q.replace(b"\n", b"\r\n")
        # Keys typed one at a time, each once the one before is echoed, or pause seconds apart
        # when they echo nothing; a number is a signal sent instead, and bytes the job control of
        # a shell (see type_keys). What the terminal shows after the question, and how the
        # program ends.
        cases = [
            (["q", "y"], b"Q\r\nY\r\n", 0), (["\r", "Y"], b"^M\r\nY\r\n", 0),
            (["\u00e9", "n"], b"\xc3\x89\r\nN\r\nOperation aborted.\r\n", 1),
            (["q", "\x03"], b"Q\r\n", -signal.SIGINT),
            *((["q", number], b"Q\r\n", -number)
              for number in (signal.SIGHUP, signal.SIGTERM, signal.SIGUSR1, signal.SIGALRM)),
            # Stopped (twice), a program gives the terminal back (it cannot on SIGSTOP), and
            # applies the key mode again in the foreground, or at once in an orphaned group.
            # Started or continued in the background, it stops before it takes the terminal.
            *((["q", number, b"wf", number, b"wf", "y"], b"Q\r\nY\r\n", 0)
              for number in (signal.SIGTSTP, signal.SIGSTOP, signal.SIGTTIN, signal.SIGTTOU)),
            (["q", signal.SIGTSTP, "y"], b"Q\r\nY\r\n", 0, 0.2), ([b"wf", "y"], b"Y\r\n", 0),
            (["q", signal.SIGTSTP, b"wbwf", "y"], b"Q\r\nY\r\n", 0),
            # Keys without a character echo nothing, and the keys after them still answer: Ctrl-@,
            # an arrow and a function key, whole or split between reads. A lone ESC is Escape: ^[.
            (["\0\x1b[A\x1bOPy"], b"Y\r\n", 0), (["\x1b[", "Ay"], b"Y\r\n", 0, 0.1),
            (["\x1b", "y"], b"^[\r\nY\r\n", 0),
        ]
        for number, (keys, answer, end, *pause) in enumerate(cases):
            program, sample, output = PROGRAMS["KM"[number % 2]]
            with self.subTest(repr(keys)), tempfile.TemporaryDirectory() as folder:
                make(folder, **{"in": sample, "out": OLD})
                master, slave = os.openpty()
                results, result = os.pipe()
                shell = os.fork()
                if shell == 0:
                    try:
                        ran = self.type_keys(program, folder, master, slave, keys, pause)
                        os.write(result, pickle.dumps(ran))
                    finally:
                        os._exit(0)
                for descriptor in (slave, result):
                    os.close(descriptor)
                with open(results, "rb") as reader:
                    ran = pickle.loads(reader.read())
                os.waitpid(shell, 0)
                self.assertEqual((end, question + answer, True, True), ran)
                self.assertEqual(output if end == 0 else OLD, Path(folder, "out").read_bytes())
                os.close(master)

    def type_keys(self, program, folder, master, slave, keys, pause):
        """As a shell that leads the terminal's session, runs the program in a group of its own, in
        the background when orders come first (in the shell's, orphaned, group without orders).
        The exit status, what the terminal shows, and if it was given back at stops and the end."""
        os.setsid()
        fcntl.ioctl(slave, termios.TIOCSCTTY, 0)
        for number in (signal.SIGINT, signal.SIGTTOU):
            signal.signal(number, signal.SIG_IGN)
        def prepare():
            if any(isinstance(key, bytes) for key in keys):
                os.setpgid(0, 0)
                if isinstance(keys[0], str):
                    os.tcsetpgrp(0, os.getpgrp())
            for number in (signal.SIGINT, signal.SIGTTOU):
                signal.signal(number, signal.SIG_DFL)

        # Unusual values, which canonical mode ignores, show settings rebuilt by hand instead of
        # put back.
        settings = termios.tcgetattr(slave)
        settings[6][termios.VMIN], settings[6][termios.VTIME] = 3, 7
        termios.tcsetattr(slave, termios.TCSANOW, settings)
        settings = termios.tcgetattr(slave)
        process = subprocess.Popen(RUNNER + [program, "in", "out"], cwd=folder, stdin=slave,
                                   stdout=slave, stderr=slave, preexec_fn=bounded(prepare))
        os.close(slave)
        shown, seen, stopped, given = b"", 0, None, True

        def show(text):  # reads until text shows after what was seen before
            nonlocal shown, seen
            while text not in shown[seen:]:
                try:
                    shown += os.read(master, 4096)
                except OSError:  # EIO: the program's side is closed for good
                    return
            seen = shown.index(text, seen) + len(text)

        show(b"" if isinstance(keys[0], bytes) else Q.replace(b"\n", b"\r\n"))  # no Enter now
        for index, key in enumerate(keys):
            if index > 0 and (pause or isinstance(keys[index - 1], bytes)):
                time.sleep(pause[0] if pause else 0.2)
            elif index > 0 and isinstance(keys[index - 1], str):
                show(b"\r\n")
            for order in key if isinstance(key, bytes) else b"":
                if order == ord("w"):  # waits for a stop, then takes the terminal back
                    os.waitpid(process.pid, os.WUNTRACED)
                    os.tcsetpgrp(master, os.getpgrp())
                    given &= (stopped != signal.SIGSTOP) == (settings == termios.tcgetattr(master))
                    # Another job's settings, the ones to put back unless taken after SIGSTOP.
                    shells = [*settings[:6], list(settings[6])]
                    shells[6][termios.VKILL] = bytes([settings[6][termios.VKILL][0] + 1])
                    termios.tcsetattr(master, termios.TCSANOW, shells)
                    settings = settings if stopped == signal.SIGSTOP else shells
                else:  # "f" gives the job the terminal, and "b" does not; both continue it
                    os.tcsetpgrp(master, process.pid if order == ord("f") else os.getpgrp())
                    os.killpg(process.pid, signal.SIGCONT)
            if isinstance(key, int):
                process.send_signal(key)
                stopped = key
            elif isinstance(key, str):
                os.write(master, key.encode())
        status = process.wait(timeout=60)
        show(b"\0")  # the rest: a terminal never shows a zero byte
        return status, shown, given, settings == termios.tcgetattr(master)


class Faults(unittest.TestCase):
    """A full disk, a console nobody reads, a signal while converting: the end, console, files."""

    def test_disk_fills_up_while_writing(self):
        # A file size limit acts as a full disk: the write that reaches it writes what fits, the
        # next fails with EFBIG, as the programs ignore SIGXFSZ (ignored here for Wine, not them).
        for letter, (program, sample, output) in PROGRAMS.items():
            size = len(output * 10000)  # ends in a part block
            # Inside a block, on a block boundary, in the last block written at the close, and
            # at the very end.
            for limit in (50000, 12 * 4096, size - 100, size):
                with self.subTest(letter + str(limit)), tempfile.TemporaryDirectory() as folder:
                    def full():
                        signal.signal(signal.SIGXFSZ, signal.SIG_IGN if WINDOWS else signal.SIG_DFL)
                        resource.setrlimit(resource.RLIMIT_FSIZE, (limit, resource.RLIM_INFINITY))
                    error = b"An error occurred while writing the output file: out\n\n"
                    make(folder, **{"in": sample * 10000})
                    self.assertEqual((int(limit < size), error if limit < size else b""),
                                     run(program, ["in", "out"], folder, preexec_fn=full))
                    self.assertTrue((output * 10000)[:limit] == Path(folder, "out").read_bytes())

    def test_output_read_by_another_program(self):
        # A FIFO, or the standard output as /dev/stdout, read to the end or closed after ten
        # bytes: no question, then every byte, or the write error at once, never a wait for ever;
        # a FIFO that no reader opens: the wait ends on a hang-up.
        if WINDOWS:
            self.skipTest("windows: FIFOs and /dev/stdout are POSIX only")
        for letter, (program, sample, output) in PROGRAMS.items():
            whole = output * 20000  # more than a pipe holds
            for path, taken in (("p", None), ("p", 10), ("/dev/stdout", 10), ("p", 0)):
                with self.subTest(letter + path + str(taken)), \
                        tempfile.TemporaryDirectory() as folder:
                    make(folder, **{"in": sample * 20000})
                    os.mkfifo(Path(folder, "p"))
                    start = time.monotonic()
                    process = subprocess.Popen(RUNNER + [program, "in", path], cwd=folder,
                                               stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                                               preexec_fn=bounded())
                    if taken == 0:
                        time.sleep(0.3)
                        process.send_signal(signal.SIGHUP)
                    with open(Path(folder, "p") if taken != 0 else os.devnull, "rb") \
                            if path == "p" else process.stdout as reader:
                        got = reader.read(taken)
                    console = process.stdout.read() if path == "p" else b""  # else lost with it
                    error = b"An error occurred while writing the output file: p\n\n"
                    self.assertEqual({None: (0, b"", whole), 0: (-signal.SIGHUP, b"", b""),
                                      10: (1, error if path == "p" else b"", whole[:10])}[taken],
                                     (process.wait(timeout=60), console, got))
                    self.assertLess(time.monotonic() - start, 5)

    def test_standard_output_named(self):
        # Written as cat writes it, never asked about: a file the shell emptied (>) or appends to
        # (>>), by any of its names, or a socket; but never the input, even appended to.
        if WINDOWS:
            self.skipTest("windows: /dev/stdout is POSIX only")
        refused = LISTING + CREATE[len(YES):] + b"/dev/stdout\n\n"
        for file, mode, name, ends in (
                ("out", "wb", "/dev/stdout", (0, DUMP)), ("out", "wb", "out", (0, DUMP)),
                ("out", "ab", "/proc/self/fd/1", (0, OLD + DUMP)),
                ("in", "ab", "/dev/stdout", (1, refused)), (None, None, "/dev/fd/1", (0, DUMP))):
            with self.subTest(name + str(file)), tempfile.TemporaryDirectory() as folder:
                make(folder, **{"in": LISTING, "out": OLD})
                ours, theirs = socket.socketpair() if not mode else (
                    open(os.devnull, "rb"), open(Path(folder, file), mode))
                process = subprocess.Popen(RUNNER + [KALDEX, "in", name], cwd=folder,
                                           stdin=subprocess.DEVNULL, stdout=theirs)
                theirs.close()
                with ours, ours if mode else ours.makefile("rb") as reader:
                    self.assertEqual(ends, (process.wait(timeout=60),
                                            reader.read() or Path(folder, file).read_bytes()))

    def test_console_reader_gone(self):
        # Console text that nobody reads any more is dropped, and the program goes on.
        reader, writer = os.pipe()
        os.close(reader)
        process = subprocess.run(RUNNER + [KALDEX], stdout=writer, timeout=60)  # touches no file
        os.close(writer)
        self.assertEqual(0, process.returncode)

    def test_signal_while_converting(self):
        # A hang-up closes the output with every byte converted; an interrupt or a termination
        # ends the program at once, losing at most the block not yet written. 0: a hang-up the
        # program was started to ignore (nohup), so that it goes on to the end of the input.
        if SYSTEM != "posix":
            self.skipTest(f"{SYSTEM}: signals are POSIX only")
        for letter, (program, sample, output) in PROGRAMS.items():
            for signal_number in (signal.SIGHUP, signal.SIGINT, signal.SIGTERM, 0):
                def nohup():
                    if not signal_number:
                        signal.signal(signal.SIGHUP, signal.SIG_IGN)
                with self.subTest(letter + str(signal_number)), \
                        tempfile.TemporaryDirectory() as folder:
                    os.mkfifo(Path(folder, "in"))
                    # Opened for reading too, so that the open does not wait for the program.
                    fifo = os.open(Path(folder, "in"), os.O_RDWR | os.O_NONBLOCK)
                    process = subprocess.Popen(RUNNER + [program, "in", "out"], cwd=folder,
                                               stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                                               preexec_fn=bounded(nohup))
                    # The whole input, then a wait until the program has taken it all and
                    # sleeps, waiting for more.
                    data, deadline = sample * 5000, time.monotonic() + 60
                    while time.monotonic() < deadline:
                        try:
                            data = data[os.write(fifo, data):] if data else data
                        except BlockingIOError:
                            pass
                        waiting = fcntl.ioctl(fifo, termios.FIONREAD, b"\0\0\0\0")
                        state = Path(f"/proc/{process.pid}/stat").read_text().rsplit(") ", 1)[1]
                        if not data and waiting == b"\0\0\0\0" and state[0] == "S":
                            break
                        time.sleep(0.001)
                    process.send_signal(signal_number or signal.SIGHUP)
                    if signal_number:  # it ends before the input does
                        process.wait(timeout=60)
                    os.close(fifo)
                    console = process.communicate(timeout=60)[0]
                    self.assertEqual((-signal_number, b""), (process.returncode, console))
                    written = Path(folder, "out").read_bytes()
                    self.assertTrue((output * 5000).startswith(written))
                    lost = len(output * 5000) - len(written)
                    self.assertLess(lost, 1 if signal_number in (signal.SIGHUP, 0) else 4096)
                    self.assertEqual(["in", "out"], sorted(os.listdir(folder)))


if __name__ == "__main__":
    unittest.main(argv=sys.argv[:1] + sys.argv[4:])
