"""What the browser tests share: waiting, the relay's processes and clients,
and the console page as an operator uses it in a real browser.

Needs Debian's chromium, chromium-driver and python3-selenium (make deps).
"""

import os
import signal
import socket
import subprocess
import sys
import threading
import time

START_LIMIT = 20.0  # seconds for the relay to listen and connect (its upkeep runs every 5)
STEP_LIMIT = 5.0  # seconds for one step of the operator's to show
CHROMEDRIVER = "/usr/bin/chromedriver"
PAGE_TEXT = "Browser test page %03d"


class Failure(Exception):
    pass


def wait_for(what, check, limit=STEP_LIMIT, every=0.05):
    """Returns check()'s first true value within `limit` seconds; fails naming `what`."""
    deadline = time.monotonic() + limit
    while True:
        value = check()
        if value:
            return value
        if time.monotonic() > deadline:
            raise Failure("%s: not within %.1f s" % (what, limit))
        time.sleep(every)



class Client:
    """A plain TCP client on an output port, keeping every byte it receives."""

    def __init__(self, port):
        self.sock = wait_for(
            "the relay listening on output port %d" % port,
            lambda: connect_or_none(port),
            START_LIMIT,
            0.2,
        )
        self.received = b""
        self.pages = []  # (time received, page text)
        self.lock = threading.Lock()
        self.thread = threading.Thread(target=self.read, daemon=True)
        self.thread.start()

    def read(self):
        while True:
            try:
                chunk = self.sock.recv(65536)
            except OSError:
                return
            if not chunk:
                return
            now = time.monotonic()
            with self.lock:
                self.received += chunk
                for packet in chunk.split(b"\x03"):
                    at = packet.find(PAGE_TEXT.split("%")[0].encode())
                    if at >= 0 and len(packet) >= at + len(PAGE_TEXT % 0):
                        self.pages.append((now, packet[at : at + len(PAGE_TEXT % 0)].decode()))

    def count(self, text):
        with self.lock:
            return self.received.count(text)

    def pages_after(self, moment):
        with self.lock:
            return [page for page in self.pages if page[0] > moment]

    def send(self, data):
        self.sock.sendall(data)

    def close(self):
        try:
            self.sock.shutdown(socket.SHUT_RDWR)
        except OSError:
            pass  # already closed by the relay
        self.sock.close()


def connect_or_none(port):
    try:
        return socket.create_connection(("127.0.0.1", port), timeout=1)
    except OSError:
        return None



def run(command, stdin=None):
    done = subprocess.run(command, input=stdin, capture_output=True, text=True, timeout=60)
    if done.returncode != 0:
        raise Failure("%s exited %d: %s" % (" ".join(command[:2]), done.returncode, done.stderr))


def is_noise(line):
    """A line of the System log that each packet writes: left out of a failure's report."""
    return "\tOut: " in line or "TCP failed" in line


class Processes:
    """Every program the test starts, stopped at the end whatever happened."""

    def __init__(self, folder):
        self.folder = folder
        self.started = []

    def start(self, name, command, env=None):
        log = open(os.path.join(self.folder, name + ".out"), "a")
        process = subprocess.Popen(command, stdout=log, stderr=subprocess.STDOUT, env=env)
        self.started.append((name, process, log))
        return process

    def stop_all(self):
        for name, process, log in reversed(self.started):
            if process.poll() is None:
                process.send_signal(signal.SIGTERM)
                try:
                    process.wait(5)
                except subprocess.TimeoutExpired:
                    process.kill()
                    process.wait()
            log.close()

    def tail(self, relay_log, lines=40):
        files = [(name, os.path.join(self.folder, name + ".out")) for name, _, _ in self.started]
        for name, path in files + [("the relay's System log", relay_log)]:
            try:
                with open(path, errors="replace", newline="") as f:
                    # Pages carry carriage returns: lines end at line feeds.
                    text = [line for line in f.read().split("\n") if not is_noise(line)]
                    text = text[-lines:]
            except OSError:
                continue  # not written: the relay did not get that far
            print("---- last lines of %s ----" % name, file=sys.stderr)
            print("\n".join(text), file=sys.stderr)


def start_browser(folder, profile="chromium"):
    from selenium import webdriver
    from selenium.webdriver.chrome.service import Service

    options = webdriver.ChromeOptions()
    for argument in (
        "--headless=new",
        "--no-sandbox",
        "--disable-dev-shm-usage",
        "--disable-gpu",
        "--window-size=1400,900",
        "--user-data-dir=" + os.path.join(folder, profile),
    ):
        options.add_argument(argument)
    service = Service(CHROMEDRIVER, log_path=os.path.join(folder, profile + "-driver.log"))
    return webdriver.Chrome(service=service, options=options)


class Console:
    """The console page in the browser, as an operator uses it."""

    def __init__(self, driver, url):
        from selenium.webdriver.common.by import By

        self.by = By
        self.driver = driver
        self.url = url

    def element(self, element_id):
        return self.driver.find_element(self.by.ID, element_id)

    def present(self, element_id):
        return self.driver.find_elements(self.by.ID, element_id)

    def sign_in(self, password, name=None):
        self.driver.get(self.url)
        wait_for("the login page", lambda: self.present("loginForm"))
        if name:
            field = self.element("name")
            field.clear()
            field.send_keys(name)
        field = self.element("password")
        field.clear()
        field.send_keys(password)
        self.element("signIn").click()

    def pane(self, name):
        return self.element(name).get_property("value")

    def click(self, element_id):
        self.element(element_id).click()

    def caption(self, element_id):
        return self.element(element_id).text

    def status(self):
        return self.element("status").text

    def cell(self, grid, row, column):
        css = "#%s tbody tr:nth-child(%d) td:nth-child(%d)" % (grid, row + 1, column + 1)
        return self.driver.find_element(self.by.CSS_SELECTOR, css)

    def type_in_cell(self, grid, row, column, text):
        from selenium.webdriver.common.keys import Keys

        cell = self.cell(grid, row, column)
        cell.click()
        cell.send_keys(Keys.CONTROL, "a")
        cell.send_keys(text)
        cell.send_keys(Keys.ENTER)


def open_alert(console):
    from selenium.common.exceptions import NoAlertPresentException

    try:
        return console.driver.switch_to.alert
    except NoAlertPresentException:
        return None



def print_browser_log(driver):
    if not driver:
        return
    try:
        entries = driver.get_log("browser")
    except Exception:  # the browser itself is gone: nothing to print
        return
    print("---- browser console ----", file=sys.stderr)
    for entry in entries:
        print(entry.get("message"), file=sys.stderr)


def closed(sock):
    if sock:
        sock.close()
        return True
    return False


LIBFAKETIME = "/usr/lib/x86_64-linux-gnu/faketime/libfaketime.so.1"


class RelayClock:
    """The relay's wall clock, moved forward by the test (Debian's libfaketime).

    Only the relay's time of day moves: its timers run on the monotonic
    clock, which is left alone, so its upkeep still ticks every five seconds
    and then finds that a minute has passed.
    """

    def __init__(self, folder):
        if not os.path.exists(LIBFAKETIME):
            raise Failure("%s is missing: install libfaketime (make deps)" % LIBFAKETIME)
        self.file = os.path.join(folder, "relay-clock")
        self.offset = 0
        self.write()

    def write(self):
        with open(self.file + ".new", "w") as out:
            out.write("%+d\n" % self.offset)
        os.replace(self.file + ".new", self.file)

    def environment(self):
        # A sanitizer's runtime wants to be the first library loaded; behind
        # libfaketime it works as well, and is told not to refuse.
        asan = os.environ.get("ASAN_OPTIONS", "")
        return dict(
            os.environ,
            LD_PRELOAD=LIBFAKETIME,
            FAKETIME_TIMESTAMP_FILE=self.file,
            FAKETIME_CACHE_DURATION="1",  # the file is read again at most once a second
            FAKETIME_DONT_FAKE_MONOTONIC="1",
            NO_FAKE_STAT="1",
            ASAN_OPTIONS=(asan + ":" if asan else "") + "verify_asan_link_order=0",
        )

    def advance(self, seconds):
        self.offset += seconds
        self.write()
