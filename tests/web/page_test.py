#!/usr/bin/python3
"""The page in headless Chromium, as a user opens it from disk, against the native programs: the
listing in the editor, converted as edited; the live check with every error, its gutter and
hints, the failing element selected; the reading form converted and written as words; a dump
edited as a listing and back; a file changed on disk; a 20 MiB listing. Every
test also checks that the page asks for nothing beyond itself and leaves the browser log clean.

Usage: page_test.py PAGE KALDEX MORVIX EXAMPLES SCREENSHOT   (Debian's python3-selenium)
"""
import json, os, subprocess, sys, tempfile, time, unittest
from pathlib import Path
from selenium import webdriver
from selenium.webdriver.chrome.service import Service
from selenium.webdriver.common.by import By
from selenium.webdriver.common.keys import Keys
from selenium.webdriver.support.ui import WebDriverWait

PAGE, KALDEX, MORVIX, EXAMPLES, SCREENSHOT = map(os.path.abspath, sys.argv[1:6])
BOXES = Path(EXAMPLES, "boxes.txt").read_bytes()


class Page(unittest.TestCase):
    def setUp(self):
        self.folder = Path(self.enterContext(tempfile.TemporaryDirectory()))
        options = webdriver.ChromeOptions()
        options.binary_location = "/usr/bin/chromium"
        for argument in ("headless=new", "no-sandbox", "disable-gpu", "no-first-run",
                         "disable-background-networking", "disable-component-update",
                         "disable-sync", f"user-data-dir={self.folder}/profile",
                         "window-size=720,1100"):
            options.add_argument("--" + argument)
        options.set_capability("goog:loggingPrefs", {"performance": "ALL", "browser": "ALL"})
        self.browser = webdriver.Chrome(service=Service("/usr/bin/chromedriver"), options=options)
        self.addCleanup(self.browser.quit)
        self.addCleanup(self.assert_quiet)
        self.browser.execute_cdp_cmd("Browser.setDownloadBehavior",
                                     {"behavior": "allow", "downloadPath": str(self.folder)})
        self.browser.get_log("performance")  # only what the page asks for, from here on
        self.browser.get(Path(PAGE).as_uri())

    def assert_quiet(self):
        requests = [json.loads(entry["message"])["message"]["params"]["request"]["url"]
                    for entry in self.browser.get_log("performance")
                    if '"Network.requestWillBeSent"' in entry["message"]]
        self.assertEqual([], [url for url in requests if url.split(":")[0] not in ("file", "blob")])
        self.assertEqual([], self.browser.get_log("browser"))

    def element(self, selector):
        return self.browser.find_element(By.CSS_SELECTOR, selector)

    def wait(self, condition, seconds=20):
        return WebDriverWait(self.browser, seconds, 0.05).until(lambda _: condition())

    def text(self, selector):
        return self.element(selector).get_attribute("textContent")

    def native(self, program, name, given, *options):
        """Console text and output bytes of a native program given the file name holding given."""
        folder = self.folder / "native"
        folder.mkdir(exist_ok=True)
        Path(folder, name).write_bytes(given)
        output = folder / ("out.prg" if program == KALDEX else "out.txt")
        output.unlink(missing_ok=True)
        run = subprocess.run([program, name, output.name, *options], cwd=folder,
                             stdout=subprocess.PIPE)
        return run.stdout.decode(), output.read_bytes() if run.returncode == 0 else None

    def open(self, name, given):
        """Opens a file of a name not opened before, as a user picks it."""
        opened = self.folder / "opened" / name
        opened.parent.mkdir(exist_ok=True)
        opened.write_bytes(given)
        shown = lambda: self.text("#source") + self.text("#dumpName")
        before = shown()
        self.element("#file").send_keys(str(opened))
        self.wait(lambda: shown() != before)
        return opened

    def convert(self):
        """The page's console text and the bytes it offers for download, as native returns them."""
        # The live check shows above the button and moves it: a click before it lands where the
        # button was.
        self.wait(lambda: self.element("#check").get_attribute("aria-busy") is None)
        clicked = time.monotonic()
        self.element("#convert").click()
        self.wait(lambda: self.element("#download:not([hidden]), #messages:not([hidden])"))
        self.took = time.monotonic() - clicked
        if not self.element("#download").is_displayed():
            return self.text("#messages") + "\n", None
        self.element("#download").click()
        result = self.folder / self.element("#download").get_attribute("download")
        self.wait(lambda: result.exists() and not Path(f"{result}.crdownload").exists())
        data = result.read_bytes()
        result.unlink()
        return "", data

    def keys(self, *keys):
        self.element("#listing .cm-content").send_keys(*keys)

    def type(self, text):
        self.editor("e.load('')")
        self.keys(text)

    def editor(self, expression, *arguments):
        """The value of a JavaScript expression of the page's editor e and arguments a."""
        return self.browser.execute_script(f"const e = editor, a = arguments; return {expression}",
                                           *arguments)

    def test_what_converts_is_what_the_editor_holds(self):
        self.open("boxes.txt", BOXES)
        self.assertEqual(BOXES.decode(), self.editor("e.value"))
        dump = self.native(KALDEX, "boxes.txt", BOXES)
        self.assertEqual(dump, self.convert())
        self.assertTrue(self.text("#result").startswith('0000  31 30 20 69 0d 32 30 20 74 22 42 41 '
                                                        '4c 4c 59 20  10 i.20 t"BALLY \n0010'))
        self.browser.save_screenshot(SCREENSHOT)
        self.keys(Keys.CONTROL, Keys.END, Keys.NULL, "220 goto 10")
        edited = self.editor("e.value").encode()
        self.assertEqual(self.native(KALDEX, "edited.txt", edited), self.convert())
        # Line ends of every kind, NUL, a byte-order mark and bytes that are not UTF-8, in a
        # word and in escapes, the editor holds as KALDEX reads them; controls in the echo.
        for number, given in enumerate((b"\xef\xbb\xbf10 print X\n", b"20 ab\xe2\x96\a\x1b c",
                                        b"10 print {6\xff5}\r20 goto 10\r\n30 X\x004{\xc0\x80}")):
            self.open(f"given{number}.txt", given)
            self.assertEqual(self.native(KALDEX, "given.txt", given), self.convert())
        self.open("boxes.prg", dump[1])
        self.element("[value='-e']").click()
        self.assertEqual(self.native(MORVIX, "boxes.prg", dump[1], "-e"), self.convert())

    def entries(self):
        self.wait(lambda: self.element("#check").get_attribute("aria-busy") is None)
        return [item.text for item in self.browser.find_elements(By.CSS_SELECTOR, "#errors li")]

    def test_the_first_error_listed_is_the_one_kaldex_prints(self):
        for listing, layout, basic in (
                ("10 print X\n20 print \x01\n30 hello", "", " (BASIC line 20)"),
                ("\ufeff10 print X", "", ""),
                ("10 goto 10\x0020 PRINT ▲\n30 X", "", " (BASIC line 20)"),
                ('1 print "{65}"\n2 X={$4', "", " (BASIC line 2)"),
                ("10 print X\n99999 print", "-2K", " (BASIC line 99999)"),
                ("10 print\nprint\n-0 X", "-2K", "")):
            self.element(f"[name=layout][value='{layout}']").click()
            self.editor("e.rewrite(a[0])", listing)
            native = self.native(KALDEX, "listing.txt", listing.encode(), *layout.split())[0]
            self.assertEqual([native.split("\n")[0] + basic], self.entries()[:1], listing)

    def test_a_click_on_an_entry_selects_its_element(self):
        self.type("10 print \"HI\"\n20 X=😀\n30 goto hello\n40 print {7" + Keys.HOME)
        self.assertEqual(3, len(self.entries()))
        self.assertEqual([36, 36], self.editor("e.selection"))
        self.element("#errors li:nth-child(2) button").click()
        self.assertEqual([30, 35], self.editor("e.selection"))

    def test_the_gutter_numbers_rows_and_marks_those_in_error(self):
        self.type("10 print X\n20 X=÷\n30 print X\n40 goto hello\n50 print {7\n60 X=1")
        self.entries()
        rows = self.browser.find_elements(By.CSS_SELECTOR, ".cm-lineNumbers .cm-gutterElement")
        self.assertEqual(["1", "2*", "3", "4*", "5*", "6"], [
            row.text + "*" * ("error" in row.get_attribute("class")) for row in rows if row.text])

    def test_an_old_error_disappears_once_mended(self):
        self.type("10 print X\n20 goto hello")
        self.assertIn("unknown token", self.convert()[0])
        self.keys("10")  # over hello, which Convert selected
        self.assertEqual(["Converts to a dump of 13 bytes.", False], [
            self.text("#verdict"), self.element("#messages").is_displayed()])

    def test_convert_selects_the_element_in_error(self):
        # Line 300 of 600, on row 100 after 200 lines that NUL ends, is scrolled into view.
        before = "10 print X\0" * 200 + "10 print X\n" * 99
        self.editor("e.load(a[0])", before + "20 Print\n" + "30 goto 10\n" * 300)
        self.convert()
        self.assertEqual([len(before) + 4, len(before) + 8, True], self.editor(
            "[...e.selection, ((at, view) => at.top >= view.top && at.bottom <= view.bottom)("
            "e.view.coordsAtPos(e.selection[0]), e.view.scrollDOM.getBoundingClientRect())]"))

    def reading_forms(self):
        """In each layout, the dump of boxes.txt and its MORVIX listing, opened in the page."""
        for layout in ("", "-2K"):
            dump = self.native(KALDEX, "boxes.txt", BOXES, *layout.split())[1]
            reading = self.native(MORVIX, "boxes.prg", dump, *["-2k"][:len(layout)])[1]
            self.open(f"reading{layout}.txt", reading)
            self.element(f"[name=layout][value='{layout}']").click()
            yield dump, reading

    def test_the_reading_form_converts_with_the_control_on(self):
        self.element("#readingForm").click()
        for dump, _ in self.reading_forms():
            self.assertEqual(("", dump), self.convert())

    def test_written_as_words_it_converts_without_the_control_and_ctrl_z_takes_it_back(self):
        for dump, reading in self.reading_forms():
            self.element("#readingForm").click()
            self.element("#words").click()
            self.assertFalse(self.element("#readingForm").is_selected())
            self.assertEqual(("", dump), self.convert())
            self.keys(Keys.CONTROL, "z")
            self.wait(lambda: self.editor("e.value").encode() == reading.replace(b"\r\n", b"\n"))

    def test_lines_in_error_stay_as_they_are_written_as_words(self):
        self.editor("e.rewrite(a[0])", '10 PRINT "HI"\x0020 GOTO hello\n30 X=A×B\n')
        self.element("#words").click()
        self.assertEqual(['10 print "HI"\x0020 GOTO hello\n30 X=Amul B\n',
                          ["Error: unknown token at line 2 - #hello# (BASIC line 20)"]],
                         [self.editor("e.value"), self.entries()])

    def test_reading_form_gets_hints_and_still_converts(self):
        self.type('10 PRINT "HI TO"\n20 IF KP=▲ GOTO 10;PRINTX')
        self.wait(lambda: self.element("#hintsPart").is_displayed())
        self.assertEqual(["line 10: write print for PRINT", "line 20: write if for IF",
                          'line 20: write "up " for ▲', "line 20: write goto for GOTO"],
                         [item.text for item in self.browser.find_elements(By.CSS_SELECTOR,
                                                                           "#hints li")])
        self.type('10 PRINT "HI"')
        self.assertEqual(self.native(KALDEX, "listing.txt", b'10 PRINT "HI"'), self.convert())

    def test_a_dump_edited_as_listing_converts_back_to_its_bytes(self):
        for layout in ((), ("-2K",)):
            dump = self.native(KALDEX, "boxes.txt", BOXES, *layout)[1]
            name = f"boxes{len(layout)}.prg"
            self.open(name, dump)
            if layout:
                self.element("[value='-2k']").click()
            self.element("#edit").click()
            self.wait(lambda: f"of {name}, made by Edit as listing." in self.text("#source"))
            self.assertEqual(("", dump), self.convert())

    def test_a_file_changed_on_disk_is_never_converted_as_it_was(self):
        opened = [self.open(name, b"10 print X\r") for name in ("stale.txt", "sta\xa0le\u202e.prg")]
        time.sleep(1.1)  # a modification time of their own
        for path in opened:
            path.write_bytes(b"20 goto 10\r")
        self.assertIn("sta<U+00A0>le<U+202E>.prg has changed on disk or is gone since it was "
                      "opened, and the browser will not read it again: open it again.",
                      self.convert()[0])
        self.element("[value=KALDEX]").click()
        self.assertEqual(self.native(KALDEX, "stale.txt", b"10 print X\r"), self.convert())
        self.assertTrue(self.text("#messages").startswith("stale.txt has changed on disk"))

    def test_a_20_mib_listing_converts_in_under_5_seconds(self):
        listing = b"".join(b"%d print X;goto %d\n" % (n, n) for n in range(1, 1 << 20))[:20 << 20]
        self.open("large.txt", listing)
        native = self.native(KALDEX, "large.txt", listing)
        for _ in range(5):
            self.assertEqual(native, self.convert())
            print(f"20 MiB to its download link in {self.took:.2f} s", end=", ")
            self.assertLess(self.took, 5)
        self.assertTrue(self.text("#result").endswith(" more bytes in the download"))
        ps = subprocess.run(["ps", "-e", "-o", "rss=,args="], stdout=subprocess.PIPE, text=True)
        rss = sum(int(line.split()[0]) for line in ps.stdout.splitlines()  # KiB
                  if "--type=renderer" in line and str(self.folder) in line)
        print(f"renderers' memory after five: {rss >> 10} MiB")
        self.assertLess(rss, 1 << 20)
        # The echo of a line of 1 MiB in error: its start, then how much more the program printed.
        self.open("long.txt", b"10 print X\n20 " + b"\1" * (1 << 20) + b"\n")
        shown = self.convert()[0]
        self.assertTrue(shown.startswith("Error: invalid character at line 2\n20 ^A^A"))
        self.assertTrue(len(shown) < 70000 and shown.endswith(" bytes in the program's messages\n"))


if __name__ == "__main__":
    unittest.main(argv=sys.argv[:1] + sys.argv[6:])
