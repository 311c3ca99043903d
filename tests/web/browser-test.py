#!/usr/bin/python3
"""The web console in a real browser.

A relay runs headless on a new working folder, fed by a simulated carrier on
loopback, with a plain client on its first output, a second output whose client
stays away, and a third, not active, with 500 packets stored for it. Headless
Chromium, driven by selenium, signs in to the console and works it as an operator
would: the overview counts the carrier's pages, an away client's repeated warnings
are one alarm that it acknowledges, it sees the pages arrive in the Outputs pane,
sends a dummy message, pages through the stored packets, edits and commits an
Outputs row, sees a client's markup shown as text, searches the history of pages by
address and by a word, opens a page's delivery trail, exports the search as CSV, and
finds its own login and commands on the Audit page. A second browser, signed in
as a viewer, keeps its own tab and is refused a command. The test checks what the
client receives, what the database and the System log hold, has Exit refused, logs
out, stops the relay under the viewer's eyes, and saves screenshots of the Outputs
tab, the overview and the alarm list.

The relay's clock is moved forward (libfaketime) so that its once-a-minute
heartbeat warnings repeat within seconds.

Usage: browser-test.py --ombrix BIN --sim BIN --first-port N --screenshot PNG
(overview.png, alarms.png and history.png are written beside PNG)
Needs Debian's chromium, chromium-driver, python3-selenium and libfaketime (make deps).
"""

import argparse
import os
import shutil
import sqlite3
import sys
import tempfile
import time

sys.dont_write_bytecode = True  # the test's own modules leave no cache in the source tree
import history_pages  # noqa: E402
import operator_pages  # noqa: E402
from browser_support import (  # noqa: E402
    START_LIMIT,
    Client,
    Console,
    Failure,
    PAGE_TEXT,
    Processes,
    RelayClock,
    closed,
    connect_or_none,
    open_alert,
    print_browser_log,
    run,
    start_browser,
    wait_for,
)

PASSWORD = "Browser-test-passw0rd"
VIEWER_PASSWORD = "Viewer-test-passw0rd"
WRONG_PASSWORD = "not-the-password"
PAGE_COUNT = 400
MARKUP = "<img src=x onerror=alert(1)>"
PAGE_DELAY_LIMIT = 2.0  # seconds from a client's receipt of a page to the pane


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
        self.output3 = first + 5


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
        for name, port, active in (
            ("Client A", ports.output1, "Y"),
            ("Client B", ports.output2, "Y"),
            (operator_pages.STORED_FOR, ports.output3, "N"),
        ):
            db.execute(
                "INSERT INTO Outputs (Description, Port, Active, RawOutput, AllowFrom) "
                "VALUES (?, ?, ?, 'N', '127.0.0.1')",
                (name, str(port), active),
            )
        db.execute("UPDATE Outputs SET Route = 'fn:C' WHERE Description = ?",
                   (operator_pages.STORED_FOR,))
    operator_pages.store_packets(folder, operator_pages.STORED_FOR, operator_pages.STORED_ROWS)
    run([args.ombrix, "passwd", folder], stdin=PASSWORD + "\n")
    run([args.ombrix, "passwd", folder, operator_pages.VIEWER, "--role", "viewer"],
        stdin=VIEWER_PASSWORD + "\n")
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


def check_login(console):
    console.sign_in(WRONG_PASSWORD)
    error = wait_for("the wrong password's message", lambda: console.present("loginError"))
    if "Wrong name or password" not in error[0].text:
        raise Failure("a wrong password shows %r" % error[0].text)
    console.sign_in(PASSWORD)
    wait_for("the console after signing in", lambda: console.present("tab1"), START_LIMIT)
    print("ok: a wrong password is refused; the right one opens the console")


def check_pages_arrive(console, client):
    console.click("tab1")
    wait_for("the Outputs tab", lambda: console.element("txbLogOutputs").is_displayed())
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


def beside(path, name):
    return os.path.join(os.path.dirname(os.path.abspath(path)), name)


def save_screenshot(driver, path, what):
    os.makedirs(os.path.dirname(os.path.abspath(path)), exist_ok=True)
    if not driver.save_screenshot(path):
        raise Failure("no screenshot written to " + path)
    print("ok: screenshot of %s in %s" % (what, path))


class Relay:
    """The relay under test, its clock movable, and what it needs to start."""

    def __init__(self, args, folder, processes):
        self.work = os.path.join(folder, "work")
        self.log = os.path.join(self.work, "LOGS", "Quorlan")
        self.clock = RelayClock(folder)
        self.process = processes.start(
            "relay", [args.ombrix, "--headless", "--workdir", self.work],
            self.clock.environment())

    def check_running(self):
        if self.process.poll() is not None:
            raise Failure("the relay stopped with exit code %d" % self.process.returncode)


def operator_checks(args, console, clients, relay, ports, history_page):
    """The first browser, signed in as the operator; returns Client A."""
    check_login(console)
    operator_pages.check_overview_first(console)
    client = Client(ports.output1)
    clients.append(client)
    operator_pages.check_overview_moves(console, client)
    check_pages_arrive(console, client)
    check_dummy_message(console, client, relay.work)
    check_markup_shown_as_text(console, client)
    save_screenshot(console.driver, args.screenshot, "the Outputs tab")
    check_connection_states(console)
    operator_pages.check_delayed_pages(console)
    operator_pages.check_alarm_switches(console)
    alarm = operator_pages.check_repeats_are_one_alarm(
        console, relay.clock, beside(args.screenshot, "alarms.png"))
    console.click("tabOverview")
    time.sleep(1.5)  # the overview's next push draws the moved minutes
    overview = beside(args.screenshot, "overview.png")
    operator_pages.readme_screenshot(console, overview)
    print("ok: screenshot of the overview in %s" % overview)
    console.click("tabAlarms")
    operator_pages.check_acknowledge(console, alarm, relay.log, "operator")
    operator_pages.check_log_search(console, "acknowledged by operator", "Quorlan")
    history_pages.check_history(console, history_page, beside(args.screenshot, "history.png"))
    history_pages.check_carrier_pages(console, 1234567, PAGE_TEXT.split("%")[0].strip(),
                                      "Client A", "Client B")
    history_pages.check_audit(console, "operator")
    history_pages.check_route_test(console)
    return client


def viewer_checks(viewer, console, client, relay):
    """A second browser, signed in as a viewer, beside the first."""
    viewer.sign_in(VIEWER_PASSWORD, operator_pages.VIEWER)
    wait_for("the viewer's console", lambda: viewer.present("tab1"), START_LIMIT)
    operator_pages.check_viewer(viewer, client)
    operator_pages.check_tabs_are_each_browsers_own(console, viewer, relay.log)


def main():
    args = parse_args()
    ports = Ports(args.first_port)
    folder = tempfile.mkdtemp(prefix="ombrix-browser-")
    processes = Processes(folder)
    drivers = []
    clients = []
    try:
        pages = make_work_folder(args, os.path.join(folder, "work"), ports)
        history_page = history_pages.add_pages(os.path.join(folder, "work"))
        processes.start(
            "carrier",
            [args.sim, "serve", "--listen", "127.0.0.1:%d" % ports.carrier, pages,
             "--speed", "2", "--pages-per-block", "1"],
        )
        relay = Relay(args, folder, processes)
        wait_for("the console's port",
                 lambda: closed(connect_or_none(ports.console)), START_LIMIT, 0.2)
        url = "http://127.0.0.1:%d/" % ports.console
        drivers.append(start_browser(folder))
        console = Console(drivers[0], url)
        client = operator_checks(args, console, clients, relay, ports, history_page)
        drivers.append(start_browser(folder, "viewer"))
        viewer = Console(drivers[1], url)
        viewer_checks(viewer, console, client, relay)
        check_delete_all_asks(console, relay.work)
        check_exit_refused(console, relay.process)
        check_outputs_edit(console, relay.work, ports)
        check_logout(console)
        relay.check_running()
        operator_pages.check_banner_when_the_relay_stops(viewer, relay.process)
    except Exception as error:  # every failure, the browser's too, ends the same way
        print("browser-test: FAILED: %s: %s" % (type(error).__name__, error), file=sys.stderr)
        processes.tail(os.path.join(folder, "work", "LOGS", "Quorlan"))
        for driver in drivers:
            print_browser_log(driver)
        return 1
    finally:
        for client in clients:
            client.close()
        for driver in drivers:
            driver.quit()
        processes.stop_all()
        shutil.rmtree(folder, ignore_errors=True)
    print("browser-test: all checks passed")
    return 0


if __name__ == "__main__":
    sys.exit(main())
