#!/usr/bin/python3
"""The page in headless Chromium, as a user opens it from disk: the example listing to a dump and
back, byte for byte as the native programs convert it, an error with its line, a listing typed
in, no request beyond the page itself, and a screenshot.

Usage: page_test.py PAGE KALDEX MORVIX EXAMPLES SCREENSHOT   (Debian's python3-selenium)
"""
import json, os, subprocess, sys, tempfile, unittest
from pathlib import Path
from selenium import webdriver
from selenium.webdriver.chrome.service import Service
from selenium.webdriver.common.by import By
from selenium.webdriver.support.ui import WebDriverWait

PAGE, KALDEX, MORVIX, EXAMPLES, SCREENSHOT = map(os.path.abspath, sys.argv[1:6])


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
        self.browser.execute_cdp_cmd("Browser.setDownloadBehavior",
                                     {"behavior": "allow", "downloadPath": str(self.folder)})
        self.browser.get_log("performance")  # only what the page asks for, from here on
        self.browser.get(Path(PAGE).as_uri())

    def element(self, selector):
        return self.browser.find_element(By.CSS_SELECTOR, selector)

    def convert(self, name, given, args):
        """Console text and result of the native program, then of the page given the file: its
        messages, or the file it offers for download."""
        (self.folder / "native").mkdir(exist_ok=True)
        Path(self.folder, "native", name).write_bytes(given)
        output = Path(self.folder, "native", args[2])
        output.unlink(missing_ok=True)
        native = subprocess.run(args, cwd=self.folder / "native", stdout=subprocess.PIPE)
        self.element("#file").send_keys(str(self.folder / "native" / name))
        for option in args[3:]:
            self.element(f"[value='{option}']").click()
        self.element("#convert").click()
        wait = WebDriverWait(self.browser, 20)
        wait.until(lambda _: self.element("#download:not([hidden]), #messages:not([hidden])"))
        if not self.element("#download").is_displayed():
            messages = self.element("#messages").get_attribute("textContent")
            return native.stdout.decode(), messages + "\n"
        self.element("#download").click()
        result = self.folder / self.element("#download").get_attribute("download")
        wait.until(lambda _: result.exists() and not Path(f"{result}.crdownload").exists())
        return (native.stdout, output.read_bytes()), (b"", result.read_bytes())

    def test_page(self):
        self.assertEqual("KALDEX and MORVIX 1.2", self.browser.title)
        self.assertEqual(*self.convert("boxes.txt", Path(EXAMPLES, "boxes.txt").read_bytes(),
                                       [KALDEX, "boxes.txt", "boxes.prg"]))
        self.browser.save_screenshot(SCREENSHOT)
        dump = Path(self.folder, "boxes.prg").read_bytes()
        self.assertEqual(*self.convert("boxes.prg", dump,
                                       [MORVIX, "boxes.prg", "boxes.txt", "-e", "-n", "-v"]))
        # An error in a line with control characters.
        self.assertEqual(*self.convert("bad.txt", b"10 print X\n20 Print\a\x1b\n",
                                       [KALDEX, "bad.txt", "bad.prg"]))
        # A typed listing in the 2000-baud layout; its dump as a hex view with offsets.
        self.element("#listing").send_keys('10 print "HI"\n20 goto 10')
        self.element("[value='-2K']").click()
        self.element("#convert").click()
        WebDriverWait(self.browser, 20).until(lambda _: self.element("#result").text)
        hex_view = '0000  0a 00 74 22 48 49 22 0d 14 00 6e 31 30 0d 00 ff  ..t"HI"...n10...'
        download = self.element("#download").get_attribute("download")
        self.assertEqual((hex_view, "listing.prg"), (self.element("#result").text, download))
        requests = [json.loads(entry["message"])["message"]["params"]["request"]["url"]
                    for entry in self.browser.get_log("performance")
                    if '"Network.requestWillBeSent"' in entry["message"]]
        self.assertEqual([], [url for url in requests if url.split(":")[0] not in ("file", "blob")])
        self.assertEqual([], self.browser.get_log("browser"))


if __name__ == "__main__":
    unittest.main(argv=sys.argv[:1] + sys.argv[6:])
