"""The console's control-room pages in a real browser: the overview, the alarm
list and its acknowledge, each browser's own tab, a viewer's account, the
Delayed view over hundreds of stored packets, and the banner of a lost relay.

browser-test.py runs these checks on the relay it starts.
"""

import datetime
import os
import re
import signal
import sqlite3
import time

from browser_support import Failure, wait_for

OVERVIEW_LIMIT = 2.0  # seconds from a client's receipt of a page to the overview's counters
BANNER_LIMIT = 5.0  # seconds from the relay's stop to the banner
HEARTBEAT_MINUTE = 65  # seconds the relay's clock moves for one more heartbeat failure (108)
TICK_LIMIT = 15.0  # seconds for the relay's five-second upkeep to see the moved clock
STORED_ROWS = 500  # packets stored for the output that never connects
PAGE_ROWS = 50
STORED_FOR = "Client C"
README_WINDOW = (1200, 820)  # pixels: the README's pictures of the console
VIEWER = "wallboard"
BANNER = re.compile(r"^Not connected to the relay since (\d\d:\d\d:\d\d) \u2014 retrying$")


def store_packets(folder, destination, count):
    """Stores `count` packets for `destination`, a minute apart, MessID 1 the oldest."""
    now = datetime.datetime.now()

    def created(n):
        return (now - datetime.timedelta(minutes=count - n)).isoformat(timespec="milliseconds")

    with sqlite3.connect(os.path.join(folder, "delayed.mdb")) as db:
        db.executemany(
            "INSERT INTO Delayed (MessID, Created, Destination, Packet) VALUES (?, ?, ?, ?)",
            [
                (n, created(n), destination,
                 b"\x021200\r1\rA\r0000001\rA\rStored packet %03d\x03" % n)
                for n in range(1, count + 1)
            ],
        )


def script(console, text, *arguments):
    return console.driver.execute_script(text, *arguments)


def texts(console, css):
    return script(
        console,
        "return Array.from(document.querySelectorAll(arguments[0])).map(e => e.textContent)",
        css,
    )


def overview_cell(console, table, key, name):
    found = texts(console, '#%s tbody tr[data-key="%s"] td.%s' % (table, key, name))
    return found[0] if found else None


def number(text):
    return int(text) if text not in (None, "") else None


def check_overview_first(console):
    """The console opens on the overview, the carrier connected."""
    wait_for("the overview as the first page",
             lambda: console.element("pageOverview").is_displayed())
    wait_for("the carrier on the overview",
             lambda: overview_cell(console, "ovCarriers", "Loopback carrier", "state")
             == "Connected")
    print("ok: the console opens on the overview, the carrier Connected")


def check_overview_moves(console, client):
    """A page the client receives is counted on the overview within two seconds."""
    def counters():
        return (
            number(overview_cell(console, "ovOutputs", "Client A", "sentToday")),
            number(overview_cell(console, "ovOutputs", "Client B", "stored")),
            number(overview_cell(console, "ovCarriers", "Loopback carrier", "pages5m")),
        )

    sent, stored, pages = wait_for("the outputs' counters on the overview",
                                   lambda: None not in counters() and counters())
    since = time.monotonic()
    received, page = wait_for(
        "a carrier page at the client", lambda: next(iter(client.pages_after(since)), None), 15
    )
    now = wait_for(
        "the page counted on the overview",
        lambda: all(a > b for a, b in zip(counters(), (sent, stored, pages))) and counters(),
        OVERVIEW_LIMIT - (time.monotonic() - received),
        0.02,
    )
    bars = script(console, "return document.querySelector('#ovCarriers .sparkline')"
                           ".dataset.total")
    if not bars or int(bars) == 0:
        raise Failure("the carrier's sparkline shows no page")
    print("ok: %r counted on the overview within %.2f s: Client A sent %d -> %d, "
          "Client B stored %d -> %d, carrier pages 5 min %d -> %d"
          % (page, time.monotonic() - received, sent, now[0], stored, now[1], pages, now[2]))


def alarm_rows(console, code):
    return script(
        console,
        """return Array.from(document.querySelectorAll('#alarmList tbody tr'))
             .filter(r => r.querySelector('td.code').textContent === arguments[0])
             .map(r => ({id: r.id, entry: r.querySelector('td.entry').textContent,
                         count: Number(r.querySelector('td.count').textContent)}));""",
        str(code),
    )


def readme_screenshot(console, path):
    """A picture for the README: the warning box closed, a smaller window."""
    if console.element("warning").is_displayed():
        console.click("warningClear")
        wait_for("the warning box closed", lambda: not console.element("warning").is_displayed())
    size = console.driver.get_window_size()
    console.driver.set_window_size(*README_WINDOW)
    time.sleep(0.3)  # the page laid out again
    try:
        if not console.driver.save_screenshot(path):
            raise Failure("no screenshot written to " + path)
    finally:
        console.driver.set_window_size(size["width"], size["height"])


def check_alarm_switches(console):
    """A new alarm's notification and sound are off until turned on, and stay as set."""
    console.click("tabAlarms")
    for switch in ("alarmNotify", "alarmSound"):
        if console.element(switch).is_selected():
            raise Failure("%s is on before the operator turned it on" % switch)
    console.click("alarmSound")
    console.driver.refresh()
    wait_for("the Alarms page again", lambda: console.present("alarmSound")
             and console.element("pageAlarms").is_displayed())
    if not console.element("alarmSound").is_selected():
        raise Failure("the sound switch did not stay on")
    console.click("alarmSound")
    print("ok: notification and sound are off until turned on, and the browser keeps the choice")


def check_repeats_are_one_alarm(console, clock, screenshot):
    """An away client's heartbeat failures (108), a minute apart, are one alarm."""
    console.click("tabAlarms")
    clock.advance(HEARTBEAT_MINUTE)
    first = wait_for("warning 108 for the away client as an alarm",
                     lambda: alarm_rows(console, 108), TICK_LIMIT)
    if len(first) != 1:
        raise Failure("one away client made %d alarms: %r" % (len(first), first))
    clock.advance(HEARTBEAT_MINUTE)
    again = wait_for(
        "the repeated 108 counted in the same alarm",
        lambda: [r for r in alarm_rows(console, 108) if r["count"] > first[0]["count"]],
        TICK_LIMIT,
    )
    rows = alarm_rows(console, 108)
    if len(rows) != 1 or rows[0]["id"] != first[0]["id"]:
        raise Failure("the repeat made another alarm: %r" % rows)
    readme_screenshot(console, screenshot)
    print("ok: repeated 108s for entry %s are one alarm, count %d -> %d; screenshot %s"
          % (rows[0]["entry"], first[0]["count"], again[0]["count"], screenshot))
    return rows[0]


def check_acknowledge(console, alarm, system_log, name):
    """Acknowledged, the alarm leaves the active list and the System log says who."""
    console.driver.find_element(console.by.CSS_SELECTOR, "#%s button.ack" % alarm["id"]).click()
    wait_for("the acknowledged alarm off the active list",
             lambda: not console.present(alarm["id"]))
    line = "System: Alarm 108 %s acknowledged by %s" % (alarm["entry"], name)
    wait_for("%r in the System log" % line, lambda: line in read_log(system_log))
    console.click("alarmsAll")
    row = wait_for("the acknowledged alarm in the whole list", lambda: console.present(alarm["id"]))
    if name not in row[0].text:
        raise Failure("the alarm does not say who acknowledged it: %r" % row[0].text)
    console.click("alarmsAll")
    print("ok: alarm acknowledged; the System log says %r" % line)


def read_log(path):
    with open(path, errors="replace", newline="") as f:
        return f.read()


def shown_tab(console):
    return script(console, "return document.querySelector('#tabs .tab.active').id")


def check_tabs_are_each_browsers_own(first, second, system_log):
    """Two browsers on different tabs: neither moves the other, nor the window."""
    first.click("tab1")
    second.click("tab3")
    window_tab = script(first, "return fetch('/api/window').then(a => a.json()).then(w => w.tab)")
    lines = read_log(system_log).count("Web console")
    first.click("tab0")
    second.click("tab5")
    first.click("tab2")
    time.sleep(0.5)  # long enough for the relay's next push of the window (ten a second)
    if (shown_tab(first), shown_tab(second)) != ("tab2", "tab5"):
        raise Failure("tabs moved: %s and %s" % (shown_tab(first), shown_tab(second)))
    if not first.element("panel2").is_displayed() or not second.element("panel5").is_displayed():
        raise Failure("a browser shows another tab's panel")
    now = script(first, "return fetch('/api/window').then(a => a.json()).then(w => w.tab)")
    if now != window_tab:
        raise Failure("the window's tab moved from %r to %r" % (window_tab, now))
    if read_log(system_log).count("Web console") != lines:
        raise Failure("choosing a tab wrote to the System log")
    print("ok: two browsers keep their own tabs; the window and the System log do not move")


def check_viewer(viewer, client):
    """A viewer sees the overview; Dummy Message is disabled and refused (403)."""
    check_overview_first(viewer)
    if "(viewer)" not in viewer.caption("account"):
        raise Failure("the header says %r for a viewer" % viewer.caption("account"))
    viewer.click("tab1")
    wait_for("Dummy Message disabled for a viewer",
             lambda: viewer.present("cmdSendDummy")
             and not viewer.element("cmdSendDummy").is_enabled())
    before = client.count(b"Dummy Message: ")
    # Tried anyway (the next model update disables the button again at once).
    script(viewer, "const b = document.getElementById('cmdSendDummy'); b.disabled = false; b.click()")
    wait_for("the refusal shown", lambda: "read-only account" in viewer.status())
    if "403" not in viewer.status():
        raise Failure("the refusal reads %r" % viewer.status())
    time.sleep(0.3)  # a dummy message, had the relay sent one, would be on its way
    if client.count(b"Dummy Message: ") != before:
        raise Failure("a viewer's Dummy Message reached the client")
    print("ok: a viewer sees the overview; Dummy Message is disabled, and refused: %s"
          % viewer.status())


def delayed_ids(console):
    return [int(i) for i in script(
        console,
        "return Array.from(document.querySelectorAll('#delayedRows tbody tr'))"
        ".map(r => r.dataset.id)")]


def wait_for_range(console, first_row):
    wanted = "Rows %d\u2013%d of %d" % (first_row, min(first_row + PAGE_ROWS - 1, STORED_ROWS),
                                         STORED_ROWS)
    wait_for("the Delayed view at %r" % wanted, lambda: console.caption("delayedRange") == wanted)


def check_delayed_pages(console):
    """The Delayed view pages through every stored packet, 50 at a time."""
    from selenium.webdriver.support.ui import Select

    console.click("tab4")
    destination = wait_for("the destinations with their counts",
                           lambda: [o for o in Select(console.element("delayedDestination"))
                                    .options if o.get_attribute("value") == STORED_FOR])
    if "(%d)" % STORED_ROWS not in destination[0].text:
        raise Failure("the destination reads %r" % destination[0].text)
    Select(console.element("delayedDestination")).select_by_value(STORED_FOR)
    seen = []
    for first_row in range(1, STORED_ROWS, PAGE_ROWS):
        if first_row > 1:
            console.click("delayedNext")
        wait_for_range(console, first_row)
        seen += delayed_ids(console)
    if seen != list(range(STORED_ROWS, 0, -1)):
        raise Failure("newest first, the pages held %d rows: %r..." % (len(seen), seen[:5]))
    if console.element("delayedNext").is_enabled():
        raise Failure("Next is enabled on the last page")
    Select(console.element("delayedOrder")).select_by_value("oldest")
    wait_for_range(console, 1)
    wait_for("the oldest first", lambda: delayed_ids(console)[:2] == [1, 2])
    print("ok: the Delayed view pages through %d stored packets, newest or oldest first"
          % STORED_ROWS)


def check_banner_when_the_relay_stops(console, relay):
    """Stopped, the relay leaves a banner and every value greyed."""
    console.click("tabOverview")
    stopped = time.time()
    relay.send_signal(signal.SIGTERM)
    text = wait_for("the banner", lambda: console.element("stale").is_displayed()
                    and console.caption("stale"), BANNER_LIMIT)
    match = BANNER.match(text)
    if not match:
        raise Failure("the banner reads %r" % text)
    shown = time.strptime(match.group(1), "%H:%M:%S")
    local = time.localtime(stopped)
    drift = abs((shown.tm_hour * 3600 + shown.tm_min * 60 + shown.tm_sec)
                - (local.tm_hour * 3600 + local.tm_min * 60 + local.tm_sec))
    if drift > BANNER_LIMIT:
        raise Failure("the banner's time %s is not when the relay stopped" % match.group(1))
    if "stale" not in script(console, "return document.body.className").split():
        raise Failure("the values are not greyed")
    print("ok: %r within %.1f s of the stop, the values greyed"
          % (text, time.time() - stopped))


def check_log_search(console, text, log_name):
    """The Logs page finds a System log line and offers the file to download."""
    console.click("tabLogs")
    field = console.element("logText")
    field.clear()
    field.send_keys(text)
    console.click("logSearch")
    found = wait_for("%r found in the System log" % text,
                     lambda: [t for t in texts(console, "#logResults tbody td:last-child")
                              if text in t])
    link = wait_for("the System log among the files", lambda: script(
        console,
        """return Array.from(document.querySelectorAll('#logFiles a.download'))
             .map(a => a.href).find(h => h.endsWith('name=' + arguments[0]))""", log_name))
    status = script(console, "return fetch(arguments[0]).then(a => a.status)", link)
    if status != 200:
        raise Failure("the download of %s answers %s" % (log_name, status))
    print("ok: the Logs page finds %r and downloads %s" % (found[0], log_name))
