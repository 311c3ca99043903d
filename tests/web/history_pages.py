"""The console's History and Audit pages in a real browser: pages searched by
address and by a word, a page's delivery trail opened as a timeline, the CSV
export of the same search, the carrier's pages as the relay archived them, and
the audit of the operator's own login and commands.

browser-test.py runs these checks on the relay it starts. Beside the pages the
relay archives from its carrier, a few pages with a delivery trail are put in
history.mdb before the relay starts, as the archive writes them, at an address
no carrier page uses; one of their texts is markup, which the page must show
as text.
"""

import datetime
import os
import sqlite3

from browser_support import Failure, wait_for
from operator_pages import readme_screenshot

ADDRESS = 7654321
RANGE = "7654000-7654999"
WORD = "Harbour"
MARKUP_TEXT = "<img src=x onerror=alert(1)> Harbour St gate"
SCHEMA = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "db",
                      "history-schema-1.sql")
OFFSET_MINUTES = 600


def _ms(moment):
    return int(moment.timestamp() * 1000)


def _packet(address, function, kind, text):
    return b"\x021200\r1\r%s\r%07d\r%s\r%s\x03" % (
        function.encode(), address, kind.encode(), text.encode("latin-1"))


def add_pages(folder):
    """Adds three pages to `folder`'s history.mdb (made when `ombrix init` has
    not) and the trail of the first: returns its id."""
    path = os.path.join(folder, "history.mdb")
    made = not os.path.exists(path)
    start = datetime.datetime.now(datetime.timezone.utc) - datetime.timedelta(days=1)
    pages = [
        (start, ADDRESS, "D", "A", "Ambulance 12 to 45 Harbour St"),
        (start + datetime.timedelta(seconds=5), ADDRESS, "B", "A", MARKUP_TEXT),
        (start + datetime.timedelta(seconds=9), ADDRESS + 1, "A", "N", "911  "),
    ]
    with sqlite3.connect(path, timeout=10) as db:
        if made:
            with open(SCHEMA) as schema:
                db.executescript(schema.read())
            db.execute("PRAGMA user_version = 1")
        ids = []
        for moment, address, function, kind, text in pages:
            cursor = db.execute(
                "INSERT INTO Pages (Time, Offset, Carrier, Rate, Frequency, Function, Address, "
                "Type, Text, Packet) VALUES (?, ?, 'Sat Feed 1', '1200', '1', ?, ?, ?, ?, ?)",
                (_ms(moment), OFFSET_MINUTES, function, address, kind, text,
                 _packet(address, function, kind, text)))
            ids.append(cursor.lastrowid)
            db.execute("INSERT INTO PageText (rowid, Text) VALUES (?, ?)", (ids[-1], text))
        first = ids[0]
        for destination, event, after_ms in (
            ("Client A", "sent", 2),
            ("Client B", "stored", 3),
            ("Client A", "taken", 9),
            ("Client B", "resent", 61000),
            ("Client B", "taken", 61007),
        ):
            db.execute(
                "INSERT INTO Trail (PageID, Destination, Event, Time, Offset) VALUES (?, ?, ?, ?, ?)",
                (first, destination, event, _ms(start) + after_ms, OFFSET_MINUTES))
    return first


def _script(console, text, *arguments):
    return console.driver.execute_script(text, *arguments)


def _rows(console):
    """Each page row of the History page: its id, address and text."""
    return _script(
        console,
        """return Array.from(document.querySelectorAll('#historyResults tbody tr'))
             .map(r => ({id: Number(r.dataset.id), address: r.cells[1].textContent,
                         text: r.cells[7].textContent}));""")


def _search(console, address="", text=""):
    for field, value in (("historyAddress", address), ("historyText", text)):
        element = console.element(field)
        element.clear()
        if value:
            element.send_keys(value)
    console.click("historySearch")


def _trail(console, page_id):
    """The trail shown, once it is page `page_id`'s: [destination, events, times] a line."""
    box = console.element("historyTrail")
    if not box.is_displayed() or box.get_attribute("data-id") != str(page_id):
        return []
    return _script(
        console,
        """return Array.from(document.querySelectorAll('#trailLines li.trailLine'))
             .map(l => [l.querySelector('.destination').textContent,
                        Array.from(l.querySelectorAll('li.event .name')).map(e => e.textContent),
                        Array.from(l.querySelectorAll('li.event time')).map(e => e.textContent)]);""")


def check_history(console, first_id, screenshot):
    """Search by address and by a word, open a page's trail, export the search;
    a picture of the trail for the README."""
    console.click("tabHistory")
    wait_for("the newest pages on the History page", lambda: _rows(console))
    _search(console, address=str(ADDRESS))
    wanted = [first_id + 1, first_id]
    found = wait_for("the pages to %d" % ADDRESS,
                     lambda: [r["id"] for r in _rows(console)] == wanted and _rows(console))
    if {r["address"] for r in found} != {"%07d" % ADDRESS}:
        raise Failure("the address search found %r" % found)
    if found[0]["text"] != MARKUP_TEXT:
        raise Failure("the markup page reads %r" % found[0]["text"])
    if _script(console, "return document.querySelectorAll('#pageHistory img').length"):
        raise Failure("a page's text became markup")

    _search(console, address=RANGE, text=WORD.lower())
    wait_for("the pages with %r" % WORD,
             lambda: [r["id"] for r in _rows(console)] == wanted)
    _search(console, text="%s NOT gate" % WORD)
    wait_for("the page with %r and not 'gate'" % WORD,
             lambda: [r["id"] for r in _rows(console)][:1] == [first_id])
    print("ok: the History page finds pages by address and range, and by a word")

    console.driver.find_element(
        console.by.CSS_SELECTOR, '#historyResults tr[data-id="%d"]' % first_id).click()
    lines = wait_for("the page's trail", lambda: _trail(console, first_id))
    events = [(destination, names) for destination, names, _ in lines]
    if events != [("Client A", ["sent", "taken"]), ("Client B", ["stored", "resent", "taken"])]:
        raise Failure("the trail reads %r" % lines)
    if any(not time for _, _, times in lines for time in times):
        raise Failure("an event of the trail has no time: %r" % lines)
    print("ok: page %d opens its trail, one line per destination: %r" % (first_id, lines))
    readme_screenshot(console, screenshot)
    print("ok: screenshot of the History page in %s" % screenshot)

    _search(console, address=str(ADDRESS))
    wait_for("the address search again", lambda: [r["id"] for r in _rows(console)] == wanted)
    href = console.element("historyCsv").get_attribute("href")
    if "address=%d" % ADDRESS not in href:
        raise Failure("Export CSV links to %r" % href)
    csv = _script(console, "return fetch(arguments[0]).then(a => a.status === 200 ? a.text() "
                           ": 'status ' + a.status)", href)
    lines = csv.split("\r\n")
    if lines[0] != "id,time,carrier,rate,frequency,function,address,type,text" or \
            not lines[1].startswith("%d," % (first_id + 1)) or MARKUP_TEXT not in csv:
        raise Failure("the CSV export reads %r" % csv[:300])
    print("ok: Export CSV downloads the same search")


def check_carrier_pages(console, address, text, live, away):
    """The pages the relay archived from its carrier are found as they came, and
    one of them tells what became of it: sent to the `live` client, stored for
    the one `away`."""
    _search(console, address=str(address), text=text)
    # The newest but one: its client had it while the test went on.
    found = wait_for("carrier pages in the history",
                     lambda: [r for r in _rows(console) if r["text"].startswith(text)][1:])
    page = found[0]

    def trail():
        console.driver.find_element(
            console.by.CSS_SELECTOR, '#historyResults tr[data-id="%d"]' % page["id"]).click()
        lines = {destination: names for destination, names, _ in _trail(console, page["id"])}
        return "sent" in lines.get(live, []) and "stored" in lines.get(away, []) and lines

    lines = wait_for("the trail of %r" % page["text"], trail, every=0.5)
    print("ok: the carrier's pages are in the history; %r went %r" % (page["text"], lines))


def _audit_rows(console):
    return _script(
        console,
        """return Array.from(document.querySelectorAll('#auditRows tbody tr'))
             .map(r => Array.from(r.cells).slice(1).map(c => c.textContent));""")


def _audit_search(console, text):
    field = console.element("auditText")
    field.clear()
    field.send_keys(text)
    console.click("auditSearch")


def check_route_test(console):
    """The Routes page's "test this route" names the outputs a page would go to: Client C's
    route (fn:C) refuses a page on function D, the others take every page."""
    console.click("tabRoutes")
    for field, text in (("routeAddress", "1234567"), ("routeText", "Route check page")):
        console.element(field).clear()
        console.element(field).send_keys(text)
    _script(console, "const f = document.getElementById('routeFunction');"
                     " f.value = 'D'; f.dispatchEvent(new Event('change'));")
    console.click("routeTest")
    verdicts = wait_for("the route test's verdicts", lambda: _script(
        console,
        """return Array.from(document.querySelectorAll('#routeVerdicts tbody tr'))
             .map(r => Array.from(r.cells).slice(0, 2).map(c => c.textContent));"""))
    outputs = [v for v in verdicts if v[0].startswith("Output ")]
    wanted = [["Output Client A", "yes"], ["Output Client B", "yes"], ["Output Client C", "no"]]
    if outputs != wanted:
        raise Failure("the route test said %r, not %r" % (outputs, wanted))
    note = console.element("routeNote").text
    if note != "Goes to: Client A, Client B":
        raise Failure("the route test's note is %r" % note)
    print("ok: \"test this route\" names the outputs that would get the page")


def check_audit(console, name):
    """The Audit page shows the operator's login and the commands given."""
    console.click("tabAudit")
    wait_for("the audit's newest rows", lambda: _audit_rows(console))
    _audit_search(console, "send idle message")
    command = wait_for("the dummy message in the audit",
                       lambda: [r for r in _audit_rows(console)
                                if r == [name, "127.0.0.1", "command", "send idle message"]])
    _audit_search(console, name)
    login = wait_for("the operator's login in the audit",
                     lambda: [r for r in _audit_rows(console)
                              if r == [name, "127.0.0.1", "login", "role operator"]])
    print("ok: the Audit page shows %r and %r" % (login[0], command[0]))
