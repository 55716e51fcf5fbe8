#!/usr/bin/env python3
"""Reads the reports that reports_test wrote with real readers: the HTML
report with html.parser, the spreadsheet report and the scan with csv and json, the text report
as TAB-separated lines. expected.txt names (hex, UTF-8) what each
file must show as text. Every file is UTF-8; the spreadsheet report
begins with a byte-order mark."""
import csv
import html.parser
import io
import json
import os
import sys

FORMULA_START = ("=", "+", "-", "@")
ALLOWED_TAGS = {"html", "head", "meta", "title", "style", "body", "h2", "h3", "p", "a", "br", "b", "i", "table",
                "tr", "th", "td"}
# The one server the programs look programs up on (string 3201).
LOOKUP_SERVER = "https://www.orvendale.example/sentrel/"
SECTIONS = ["Startup Programs", "Delayed Start", "Active Tasks", "Scheduled Tasks", "IE Helpers", "File Types",
            "Services", "Hidden Files", "Cookies"]


class ReportParser(html.parser.HTMLParser):
    def __init__(self):
        super().__init__(convert_charrefs=True)
        self.text = []
        self.problems = []
        self.charset = None
        self.headings = {}
        self.heading = None
        self.lookups = 0

    def handle_starttag(self, tag, attrs):
        if tag == "meta":
            self.charset = dict(attrs).get("charset")
        if tag == "h3":
            self.heading = dict(attrs).get("id")
            self.headings[self.heading] = ""
        if tag not in ALLOWED_TAGS:
            self.problems.append("element <%s> %r" % (tag, attrs))
        for name, value in attrs:
            if name.startswith("on"):
                self.problems.append("event attribute %s=%r on <%s>" % (name, value, tag))
            if name == "href" and value is not None:
                if any(c in value for c in "'\"<> "):
                    self.problems.append("href with a raw quote, bracket or blank: %r" % value)
                if value.startswith(LOOKUP_SERVER):
                    self.lookups += 1
                elif not value.startswith("#A"):
                    self.problems.append("href to another place than the lookup server: %r" % value)

    def handle_endtag(self, tag):
        if tag == "h3":
            self.heading = None

    def handle_data(self, data):
        self.text.append(data)
        if self.heading is not None:
            self.headings[self.heading] += data


def expected(folder):
    wanted = {}
    with open(os.path.join(folder, "expected.txt"), encoding="ascii") as f:
        for line in f:
            kind, hexed = line.split()
            wanted.setdefault(kind, []).append(bytes.fromhex(hexed).decode("utf-8"))
    return wanted


def check_html(folder, names, failures):
    with open(os.path.join(folder, "SentrelLog.html"), encoding="utf-8") as f:
        parser = ReportParser()
        parser.feed(f.read())
        parser.close()
    failures += ["html: " + p for p in parser.problems]
    if (parser.charset or "").lower() != "utf-8":
        failures.append("html: the charset is %r, not utf-8" % parser.charset)
    text = "".join(parser.text)
    for name in names:
        if name not in text:
            failures.append("html: %r is not in the text" % name)
    # Every section, under the anchor the index links to.
    wanted = {"A%d" % i: title for i, title in enumerate(SECTIONS)}
    if parser.headings != wanted:
        failures.append("html: sections %r" % parser.headings)
    if parser.lookups == 0:
        failures.append("html: no lookup link")


def check_text(folder, names, failures):
    with open(os.path.join(folder, "SentrelLog.txt"), encoding="utf-8", newline="") as f:
        content = f.read()
    lines = content.split("\r\n")
    if lines and lines[-1] == "":
        lines.pop()
    titles = set()
    for number, line in enumerate(lines, 1):
        if "\n" in line or "\r" in line:
            failures.append("text line %d holds a lone line break" % number)
        fields = line.split("\t")
        if len(fields) not in (1, 8):
            failures.append("text line %d has %d fields: %r" % (number, len(fields), line))
        if len(fields) == 8:
            titles.add(fields[0][1:] if fields[0][:1] == "'" and fields[0][1:2] in FORMULA_START else fields[0])
    for name in names:
        if name not in titles:
            failures.append("text: no row titled %r" % name)


def check_csv(folder, names, bho_names, kept, failures):
    with open(os.path.join(folder, "SentrelLog.csv"), "rb") as f:
        if not f.read(3) == b"\xef\xbb\xbf":
            failures.append("csv: no UTF-8 byte-order mark")
    with open(os.path.join(folder, "SentrelLog.csv"), encoding="utf-8-sig", newline="") as f:
        rows = list(csv.reader(f))
    if not rows:
        failures.append("csv: empty")
        return
    header = rows[0]
    if header != ["Type", "SubType", "Title", "Filename", "Company", "First Detected", "Path", "Description",
                  "Version", "Publisher", "Start Type"]:
        failures.append("csv: column line %r" % header)
    with open(os.path.join(folder, "SentrelLog.csv"), encoding="utf-8-sig", newline="") as f:
        for number, record in enumerate(csv.DictReader(f), 2):
            for key, value in record.items():
                if key is None or value is None:
                    failures.append("csv row %d does not fit the header: %r" % (number, record))
                    break
                if value != value.strip(" ") and value.strip(" ") and key != "Title":
                    failures.append("csv row %d: %s %r has blanks around it" % (number, key, value))
    if not any(row[0] == "Services" and row[10] in ("Automatic", "Manual", "Disabled", "Boot", "System")
               for row in rows[1:] if len(row) == 11):
        failures.append("csv: no service row with its start type")
    titles = {}
    for number, row in enumerate(rows[1:], 2):
        if len(row) != 11:
            failures.append("csv row %d has %d fields: %r" % (number, len(row), row))
            continue
        for field in row:
            if field.startswith(FORMULA_START):
                failures.append("csv row %d: field %r would run as a formula" % (number, field))
        title = row[2]
        if title[:1] == "'" and title[1:2] in FORMULA_START:
            title = title[1:]
        titles.setdefault(title, []).append(row)
    for name in names:
        if name not in titles:
            failures.append("csv: no row titled %r" % name)
    for name in bho_names:
        if not any(r[0] == "IE Helpers" and r[1] == "BHO" for r in titles.get(name, [])):
            failures.append("csv: no IE Helpers/BHO row titled %r" % name)
    # A line break inside a field stays inside it, with what follows it.
    for text in kept:
        if not any(text in field for row in rows[1:] for field in row):
            failures.append("csv: %r is not inside any field" % text)


SCAN_FIELDS = ["category", "location", "name", "title", "command", "file", "company", "publisher", "signature",
               "version", "first_seen", "approved", "disabled"]
SCAN_CATEGORIES = {"startup", "service", "task", "ie_helper", "file_type", "hidden_file", "process"}


def read_scan_json(path, failures):
    rows = []
    with open(path, "rb") as f:
        data = f.read()
    if data.startswith(b"\xef\xbb\xbf"):
        failures.append("%s: a byte-order mark before the first object" % path)
    for number, line in enumerate(data.decode("utf-8").split("\n"), 1):
        if not line:
            continue
        try:
            row = json.loads(line)
        except ValueError as error:
            failures.append("%s line %d: %s" % (path, number, error))
            continue
        if list(row) != SCAN_FIELDS:
            failures.append("%s line %d: fields %r" % (path, number, list(row)))
        elif row["category"] not in SCAN_CATEGORIES:
            failures.append("%s line %d: category %r" % (path, number, row["category"]))
        elif row["signature"] not in ("verified", "unsigned", "invalid", "missing") or \
                (row["publisher"] != "") != (row["signature"] == "verified"):
            failures.append("%s line %d: publisher %r, signature %r" % (path, number, row["publisher"],
                                                                      row["signature"]))
        rows.append(row)
    return rows


def check_scan(folder, names, bho_classes, signatures, failures):
    rows = read_scan_json(os.path.join(folder, "scan.json"), failures)
    for wanted in signatures:
        name, state = wanted.split("\x01")
        if not any(r["category"] == "startup" and r["name"] == name and r["signature"] == state for r in rows):
            failures.append("scan.json: no startup row %r whose signature is %s" % (name, state))
    for name in names:
        if not any(r["category"] == "startup" and r["name"] == name and r["approved"] is False for r in rows):
            failures.append("scan.json: no unapproved startup row named %r" % name)
    for cls in bho_classes:
        if not any(r["category"] == "ie_helper" and cls in r["name"] for r in rows):
            failures.append("scan.json: no IE helper %r" % cls)
    if not any(r["category"] == "process" and r["approved"] is None for r in rows):
        failures.append("scan.json: no running program (approved: null)")
    for r in read_scan_json(os.path.join(folder, "scan-approved.json"), failures):
        if r["approved"] is False and not r["disabled"]:
            failures.append("scan-approved.json: still waits: %r" % r)
    with open(os.path.join(folder, "scan.csv"), "rb") as f:
        if not f.read(3) == b"\xef\xbb\xbf":
            failures.append("scan.csv: no UTF-8 byte-order mark")
    with open(os.path.join(folder, "scan.csv"), encoding="utf-8-sig", newline="") as f:
        reader = csv.DictReader(f)
        records = list(reader)
    if reader.fieldnames != SCAN_FIELDS:
        failures.append("scan.csv: header %r" % reader.fieldnames)
    if len(records) != len(rows):
        failures.append("scan.csv: %d rows, scan.json %d" % (len(records), len(rows)))
    for number, record in enumerate(records, 2):
        if None in record or None in record.values():
            failures.append("scan.csv row %d does not fit the header: %r" % (number, record))
            continue
        for value in record.values():
            if value.startswith(FORMULA_START):
                failures.append("scan.csv row %d: %r would run as a formula" % (number, value))
    shown = {(r["category"], r["name"][1:] if r["name"][:1] == "'" else r["name"]) for r in records}
    for name in names:
        if "\0" not in name and ("startup", name) not in shown:
            failures.append("scan.csv: no startup row named %r" % name)


def main():
    folder = sys.argv[1]
    wanted = expected(folder)
    failures = []
    check_html(folder, wanted.get("html", []), failures)
    check_text(folder, wanted.get("text", []), failures)
    check_csv(folder, wanted.get("csv", []), wanted.get("csvbho", []), wanted.get("csvkeeps", []), failures)
    check_scan(folder, wanted.get("scan", []), wanted.get("scanbho", []), wanted.get("scansig", []), failures)
    for failure in failures:
        print(failure)
    print("%d problems" % len(failures))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
