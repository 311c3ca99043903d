#!/usr/bin/python3
"""The web console in a real browser.

A relay runs headless on a new working folder, fed by a simulated carrier on
loopback, with a plain client on its first output. Headless Chromium, driven by
selenium, signs in to the console and works it as an operator would: it sees the
carrier's pages arrive in the Outputs pane, sends a dummy message, edits and
commits an Outputs row, and sees a client's markup shown as text. The test checks
what the client receives and what the database holds, has Exit refused, logs out,
and saves a screenshot of the Outputs tab.

Usage: browser-test.py --ombrix BIN --sim BIN --first-port N --screenshot PNG
Needs Debian's chromium, chromium-driver and python3-selenium (make deps).
"""

import argparse
import os
import shutil
import signal
import socket
import sqlite3
import subprocess
import sys
import tempfile
import threading
import time

PASSWORD = "Browser-test-passw0rd"
WRONG_PASSWORD = "not-the-password"
PAGE_COUNT = 400
PAGE_TEXT = "Browser test page %03d"
MARKUP = "<img src=x onerror=alert(1)>"
PAGE_DELAY_LIMIT = 2.0  # seconds from a client's receipt of a page to the pane
START_LIMIT = 20.0  # seconds for the relay to listen and connect (its upkeep runs every 5)
STEP_LIMIT = 5.0  # seconds for one step of the operator's to show
CHROMEDRIVER = "/usr/bin/chromedriver"


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


def parse_args():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--ombrix", required=True)
    parser.add_argument("--sim", required=True)
    parser.add_argument("--first-port", type=int, required=True)
    parser.add_argument("--screenshot", required=True)
    return parser.parse_args()


class Ports:
    def __init__(self, first):
        self.carrier = first
        self.output1 = first + 1
        self.output2 = first + 2
        self.output2_moved = first + 3
        self.console = first + 4


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
                    at = packet.find(b"Browser test page ")
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


def make_work_folder(args, folder, ports):
    run([args.ombrix, "init", folder])
    with sqlite3.connect(os.path.join(folder, "Ombrixsys.mdb")) as db:
        set_setting(db, "TelstraLocalIP", "127.0.0.1")
        set_setting(db, "OutputsLocalIP", "127.0.0.1")
        set_setting(db, "WebConsoleAddress", "127.0.0.1")
        set_setting(db, "WebConsolePort", str(ports.console))
        db.execute(
            "INSERT INTO Telstra (Description, Port, Active) VALUES ('Loopback carrier', ?, 'Y')",
            (str(ports.carrier),),
        )
        for name, port in (("Client A", ports.output1), ("Client B", ports.output2)):
            db.execute(
                "INSERT INTO Outputs (Description, Port, Active, RawOutput, AllowFrom) "
                "VALUES (?, ?, 'Y', 'N', '127.0.0.1')",
                (name, str(port)),
            )
    run([args.ombrix, "passwd", folder], stdin=PASSWORD + "\n")
    pages = os.path.join(folder, "pages.txt")
    with open(pages, "w") as out:
        for n in range(PAGE_COUNT):
            out.write("1234567 D A %s\n" % (PAGE_TEXT % n))
    return pages


def set_setting(db, key, value):
    changed = db.execute(
        "UPDATE StartUp SET Key_Data = ? WHERE Key_Description = ?", (value, key)
    ).rowcount
    if changed == 0:
        db.execute("INSERT INTO StartUp (Key_Description, Key_Data) VALUES (?, ?)", (key, value))


def stored_for(folder, destination):
    with sqlite3.connect(os.path.join(folder, "delayed.mdb"), timeout=5) as db:
        return db.execute(
            "SELECT COUNT(*) FROM Delayed WHERE Destination = ?", (destination,)
        ).fetchone()[0]


def outputs_rows(folder):
    with sqlite3.connect(os.path.join(folder, "Ombrixsys.mdb")) as db:
        return db.execute("SELECT Description, Port FROM Outputs ORDER BY rowid").fetchall()


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

    def start(self, name, command):
        log = open(os.path.join(self.folder, name + ".out"), "w")
        process = subprocess.Popen(command, stdout=log, stderr=subprocess.STDOUT)
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


def start_browser(folder):
    from selenium import webdriver
    from selenium.webdriver.chrome.service import Service

    options = webdriver.ChromeOptions()
    for argument in (
        "--headless=new",
        "--no-sandbox",
        "--disable-dev-shm-usage",
        "--disable-gpu",
        "--window-size=1400,900",
        "--user-data-dir=" + os.path.join(folder, "chromium"),
    ):
        options.add_argument(argument)
    service = Service(CHROMEDRIVER, log_path=os.path.join(folder, "chromedriver.log"))
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

    def sign_in(self, password):
        self.driver.get(self.url)
        wait_for("the login page", lambda: self.present("loginForm"))
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


def check_login(console):
    console.sign_in(WRONG_PASSWORD)
    error = wait_for("the wrong password's message", lambda: console.present("loginError"))
    if "Wrong name or password" not in error[0].text:
        raise Failure("a wrong password shows %r" % error[0].text)
    console.sign_in(PASSWORD)
    wait_for("the console after signing in", lambda: console.present("tab1"), START_LIMIT)
    console.click("tab1")
    wait_for("the Outputs tab", lambda: console.element("txbLogOutputs").is_displayed())
    print("ok: a wrong password is refused; the right one opens the console")


def check_pages_arrive(console, client):
    since = time.monotonic()
    received, page = wait_for(
        "a carrier page at the client", lambda: next(iter(client.pages_after(since)), None), 15
    )
    wait_for(
        "page %r in the Outputs pane" % page,
        lambda: page in console.pane("txbLogOutputs"),
        PAGE_DELAY_LIMIT - (time.monotonic() - received),
        0.02,
    )
    delay = time.monotonic() - received
    print("ok: %r in the Outputs pane %.2f s after the client had it" % (page, delay))


def check_dummy_message(console, client, folder):
    # What the relay sent before the client connected, an idle dummy message
    # among it, comes from the delayed store a packet a second: first that.
    wait_for("the client's stored packets sent", lambda: stored_for(folder, "Client A") == 0, 15)
    time.sleep(0.5)  # the last of them on its way
    before = client.count(b"Dummy Message: ")
    console.click("cmdSendDummy")
    wait_for("a dummy message at the client", lambda: client.count(b"Dummy Message: ") > before)
    print("ok: Dummy Message reaches the client")


def check_markup_shown_as_text(console, client):
    driver = console.driver
    driver.execute_script("window.alerted = false; window.alert = () => { window.alerted = 1; };")
    client.send(MARKUP.encode())
    wait_for("the client's text in the Outputs pane",
             lambda: MARKUP in console.pane("txbLogOutputs"))
    time.sleep(0.3)  # time for an image's error handler, had one been made
    images = driver.execute_script("return document.getElementsByTagName('img').length")
    alerted = driver.execute_script("return window.alerted")
    if images or alerted:
        raise Failure("the client's text became markup: %d images, alert %s" % (images, alerted))
    from selenium.common.exceptions import NoAlertPresentException

    try:
        driver.switch_to.alert
        raise Failure("an alert is open")
    except NoAlertPresentException:
        pass
    print("ok: %s is shown as text" % MARKUP)


def check_connection_states(console):
    """Each output's row says where its client stands; the carrier is up."""
    console.click("tab1")

    def state(row):
        css = "#dgOutputs tbody tr:nth-child(%d) td.state" % (row + 1)
        cells = console.driver.find_elements(console.by.CSS_SELECTOR, css)
        return cells[0].text if cells else ""

    wait_for("Client A's row reading Connected", lambda: state(0).startswith("Connected since "))
    wait_for("Client B's row reading Listening",
             lambda: state(1).startswith("Listening for client since "))
    if "no carrier" in console.caption("tab0"):
        raise Failure("the Input tab is marked while the carrier is connected")
    print("ok: the Outputs rows show Connected and Listening for client")


def open_alert(console):
    from selenium.common.exceptions import NoAlertPresentException

    try:
        return console.driver.switch_to.alert
    except NoAlertPresentException:
        return None


def check_delete_all_asks(console, folder):
    """Delete ALL names the count and deletes nothing until the operator agrees."""
    console.click("tab4")
    wait_for("stored packets for the absent Client B", lambda: stored_for(folder, "Client B") > 0)
    console.click("cmdDeleteDelayed")
    alert = wait_for("the question before Delete ALL", lambda: open_alert(console))
    if "stored packets" not in alert.text:
        raise Failure("Delete ALL asks %r" % alert.text)
    alert.dismiss()
    time.sleep(0.3)  # a refused deletion would show at once; none may come
    if stored_for(folder, "Client B") == 0:
        raise Failure("Delete ALL answered Cancel deleted the stored packets")
    before = stored_for(folder, "Client B")
    console.click("cmdDeleteDelayed")
    wait_for("the question again", lambda: open_alert(console)).accept()
    wait_for("the store emptied", lambda: stored_for(folder, "Client B") < before)
    print("ok: Delete ALL asks first and deletes only when the operator agrees")
    console.click("tab1")


def check_exit_refused(console, relay):
    console.click("mnuFile")
    console.click("mnuExit")
    wait_for("the refusal of Exit", lambda: "systemctl" in console.status())
    if relay.poll() is not None:
        raise Failure("the relay stopped after Exit in the console")
    print("ok: Exit is refused: %s" % console.status())


def check_outputs_edit(console, folder, ports):
    console.click("cmdEditOuputs")
    wait_for("the Outputs grid open for editing",
             lambda: console.caption("cmdEditOuputs") == "Commit")
    wait_for("editable cells",
             lambda: console.cell("dgOutputs", 1, 0).get_attribute("contenteditable") != "false")
    console.type_in_cell("dgOutputs", 1, 0, "Client B renamed")
    console.type_in_cell("dgOutputs", 1, 1, str(ports.output2_moved))
    console.click("cmdEditOuputs")
    wait_for("the Outputs grid committed", lambda: console.caption("cmdEditOuputs") == "Edit")
    wanted = ("Client B renamed", str(ports.output2_moved))
    wait_for("the edited row in the database", lambda: outputs_rows(folder)[1:2] == [wanted])
    if outputs_rows(folder)[0] != ("Client A", str(ports.output1)):
        raise Failure("the first row changed: %r" % (outputs_rows(folder),))
    # A port change reaches a socket that is listening when its listening
    # heartbeat next closes it, a minute on: the relay's log tells it took the row.
    wait_for(
        "the commit in the Outputs pane",
        lambda: "Event: Outputs database commited" in console.pane("txbLogOutputs"),
    )
    print("ok: an Outputs row edited and committed in the browser is in the database")


def check_logout(console):
    console.click("logout")
    wait_for("the login page after logging out", lambda: console.present("loginForm"))
    print("ok: Log out returns to the login page")


def main():
    args = parse_args()
    ports = Ports(args.first_port)
    folder = tempfile.mkdtemp(prefix="ombrix-browser-")
    processes = Processes(folder)
    driver = None
    client = None
    try:
        pages = make_work_folder(args, os.path.join(folder, "work"), ports)
        processes.start(
            "carrier",
            [args.sim, "serve", "--listen", "127.0.0.1:%d" % ports.carrier, pages,
             "--speed", "2", "--pages-per-block", "1"],
        )
        relay = processes.start(
            "relay", [args.ombrix, "--headless", "--workdir", os.path.join(folder, "work")]
        )
        wait_for("the console's port",
                 lambda: closed(connect_or_none(ports.console)), START_LIMIT, 0.2)
        driver = start_browser(folder)
        console = Console(driver, "http://127.0.0.1:%d/" % ports.console)
        check_login(console)
        client = Client(ports.output1)
        check_pages_arrive(console, client)
        check_dummy_message(console, client, os.path.join(folder, "work"))
        check_markup_shown_as_text(console, client)
        os.makedirs(os.path.dirname(os.path.abspath(args.screenshot)), exist_ok=True)
        if not driver.save_screenshot(args.screenshot):
            raise Failure("no screenshot written to " + args.screenshot)
        print("ok: screenshot of the Outputs tab in %s" % args.screenshot)
        check_connection_states(console)
        check_delete_all_asks(console, os.path.join(folder, "work"))
        check_exit_refused(console, relay)
        check_outputs_edit(console, os.path.join(folder, "work"), ports)
        check_logout(console)
        if relay.poll() is not None:
            raise Failure("the relay stopped with exit code %d" % relay.returncode)
    except Exception as error:  # every failure, the browser's too, ends the same way
        print("browser-test: FAILED: %s: %s" % (type(error).__name__, error), file=sys.stderr)
        processes.tail(os.path.join(folder, "work", "LOGS", "Quorlan"))
        print_browser_log(driver)
        return 1
    finally:
        if client:
            client.close()
        if driver:
            driver.quit()
        processes.stop_all()
        shutil.rmtree(folder, ignore_errors=True)
    print("browser-test: all checks passed")
    return 0


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


if __name__ == "__main__":
    sys.exit(main())
