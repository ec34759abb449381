#!/usr/bin/python3
"""Reads a page kerf wrote (-html), or the DOM a browser made of it, as a browser does.

  check_html_page.py PAGE [--rows N] [--marks N] [--last-marks N] [--failed N]
                          [--text T ...] [--script-ran] [--list-marks]
  check_html_page.py --png SHOT --size 1280x1600
  check_html_page.py PAGE --sort-probe PROBE_PAGE
  check_html_page.py DOM --sort-result
  check_html_page.py PAGE --zoom-probe PROBE_PAGE --act ACTION ...
  check_html_page.py DOM --zoom-result

Parses PAGE with html5lib (the HTML parsing algorithm of browsers) and checks
that it is valid UTF-8 without a parse error; that every element and attribute
is one kerf writes (so none came from a name); that the one script is the one
the Content-Security-Policy names by its SHA-256, recomputed here; and the
counts asked for: files in the table, timeline marks, failed files. Each --text must
be the text of some element, shown, not read as markup. --list-marks prints
each mark's title. --png checks that SHOT is a PNG of that size holding more
than one colour. --sort-probe writes a copy of PAGE with a second script
(allowed by its hash) that clicks column headings and records the row order;
--sort-result reads that record from the DOM a browser made of the copy and
checks each click sorted the rows up, then down. --zoom-probe writes a copy
of PAGE whose second script works the timeline's zoom, one --act after
another: "click:TEXT" (the button whose label holds TEXT), "key:KEY" (a key
pressed on the axis), "drag:TEXT" (across the axis, over the shown marks
whose title holds TEXT), "pan:UNITS" (a drag across the rows, in the
drawing's units), "look:" (nothing); after each it records where every mark
is and what the axis shows. --zoom-result prints that record, one line per
action: "ACTION: X X - X | LABELS | SPAN" (X: a mark's cx, "-": hidden;
LABELS: the axis's texts; SPAN: the span the page says it shows). Prints
each problem; exits 1 when there is one, 2 when html5lib is missing.
"""
import argparse
import base64
import hashlib
import json
import struct
import sys
import zlib

ELEMENTS = {
    "html", "head", "meta", "title", "style", "body", "header", "h1", "h2", "p", "span", "a", "section",
    "div", "table", "thead", "tbody", "tr", "th", "td", "small", "details", "summary", "ol", "ul", "li",
    "dl", "dt", "dd", "script", "button",
    "svg", "circle", "line", "text", "path", "rect", "g", "defs", "clipPath",
}
ATTRIBUTES = {
    "lang", "charset", "http-equiv", "content", "name", "class", "id", "title", "data-k", "href", "role",
    "aria-label", "aria-hidden", "aria-sort", "xmlns", "viewBox", "cx", "cy", "r", "x", "y", "x1", "x2",
    "y1", "y2", "width", "height", "d", "clip-path", "open", "colspan", "data-start", "data-end",
    "data-dates", "tabindex", "disabled",
}
POLICY = "default-src 'none'; style-src 'unsafe-inline'; script-src 'sha256-{}'; base-uri 'none'; form-action 'none'"


def local(tag):
    return tag.rsplit("}", 1)[-1] if isinstance(tag, str) else ""


def classes(element):
    return element.get("class", "").split()


def text_of(element):
    return "".join(element.itertext())


def check_page(path, args, problems):
    import html5lib

    raw = open(path, "rb").read()
    try:
        raw.decode("utf-8", errors="strict")
    except UnicodeDecodeError as error:
        problems.append(f"not UTF-8: {error}")
    parser = html5lib.HTMLParser(namespaceHTMLElements=False)
    root = parser.parse(raw, transport_encoding="utf-8")
    for position, code, data in parser.errors:
        problems.append(f"parse error {code} at {position} {data}")

    elements = list(root.iter())
    for element in elements:
        tag = local(element.tag)
        if not tag:
            continue  # a comment
        if tag not in ELEMENTS:
            problems.append(f"element <{tag}> kerf does not write")
        for name, value in element.attrib.items():
            name = local(name)
            if name not in ATTRIBUTES:
                problems.append(f"attribute {name}={value!r} on <{tag}> kerf does not write")
            if name == "href" and not value.startswith("#"):
                problems.append(f"link to {value!r}")

    scripts = [e for e in elements if local(e.tag) == "script"]
    policies = [e.get("content", "") for e in elements
                if local(e.tag) == "meta" and e.get("http-equiv", "").lower() == "content-security-policy"]
    if len(scripts) != 1:
        problems.append(f"{len(scripts)} scripts, not 1")
    elif len(policies) != 1:
        problems.append(f"{len(policies)} Content-Security-Policy meta elements, not 1")
    else:
        digest = base64.b64encode(hashlib.sha256((scripts[0].text or "").encode()).digest()).decode()
        if policies[0] != POLICY.format(digest):
            problems.append(f"policy {policies[0]!r} does not name the script's hash {digest}")
    if not any(local(e.tag) == "meta" and e.get("charset", "").lower() == "utf-8" for e in elements):
        problems.append("no <meta charset=utf-8>")

    # One row group per file: the file's row and the row that opens.
    rows = [body for e in elements if local(e.tag) == "table" and e.get("id") == "files"
            for body in e if local(body.tag) == "tbody"]
    for body in rows:
        shape = [(local(tr.tag), tr.get("class")) for tr in body]
        if shape != [("tr", None), ("tr", "more")]:
            problems.append(f"a file's row group is not its row and the row that opens: {shape}")
    marks = [e for e in elements if local(e.tag) == "circle" and "mark" in classes(e)]
    last_marks = [e for e in marks if "last" in classes(e)]
    failed = [li for e in elements if local(e.tag) == "section" and "failed" in classes(e)
              for ul in e if local(ul.tag) == "ul" for li in ul if local(li.tag) == "li"]
    for wanted, found, what in ((args.rows, len(rows), "table rows"), (args.marks, len(marks), "marks"),
                                (args.last_marks, len(last_marks), "last-run marks"),
                                (args.failed, len(failed), "failed files")):
        if wanted is not None and wanted != found:
            problems.append(f"{found} {what}, not {wanted}")
    for mark in marks:
        titles = [t for t in mark if local(t.tag) == "title"]
        if len(titles) != 1 or " UTC, " not in text_of(titles[0]):
            problems.append(f"mark without a time in its title: {mark.attrib}")
        elif args.list_marks:
            print("mark: " + text_of(titles[0]))

    texts = {text_of(e) for e in elements if local(e.tag)}
    for wanted in args.text or []:
        if not any(wanted in text for text in texts):
            problems.append(f"no element shows the text {wanted!r}")
    if args.script_ran and "js" not in classes(root):
        problems.append("the script did not run: <html> has no class js")


# Clicks the headings of Runs, Last run and Prefetch file twice each and
# records each column's keys in row order after every click.
SORT_PROBE = """
const heads = document.querySelectorAll("#files th"), seen = [];
for (const column of [2, 3, 0]) for (let i = 0; i < 2; ++i) {
  heads[column].click();
  seen.push([...document.querySelector("#files").tBodies].map((body) => body.rows[0].cells[column].dataset.k ?? body.rows[0].cells[column].textContent));
}
const record = document.createElement("pre");
record.id = "sort-probe";
record.textContent = JSON.stringify(seen);
document.body.append(record);
"""


def check_sort_result(dom, problems):
    import html5lib

    root = html5lib.parse(open(dom, "rb").read(), namespaceHTMLElements=False, transport_encoding="utf-8")
    records = [e for e in root.iter() if local(e.tag) == "pre" and e.get("id") == "sort-probe"]
    if len(records) != 1:
        problems.append("the sort probe left no record: did the page's script run?")
        return
    seen = json.loads(text_of(records[0]))
    for up, down in zip(seen[0::2], seen[1::2]):
        if up != sorted(up) or down != sorted(up, reverse=True) or len(up) < 2:
            problems.append(f"not sorted up, then down: {up} {down}")


ZOOM_PROBE = """
const axis = document.querySelector("svg.axis"), rows = document.querySelector("svg.rows"), seen = [];
const at = (svg, x) => { const box = svg.getBoundingClientRect(); return box.left + (x / 1200) * box.width; };
const fire = (target, type, x) => target.dispatchEvent(new PointerEvent(type, { bubbles: true, button: 0, buttons: type === "pointerup" ? 0 : 1, clientX: x, clientY: 10 }));
const gesture = (target, from, to) => { fire(target, "pointerdown", from); fire(target, "pointermove", to); fire(target, "pointerup", to); };
for (const act of ACTS) {
  const [kind, what] = [act.slice(0, act.indexOf(":")), act.slice(act.indexOf(":") + 1)];
  if (kind === "click") [...document.querySelectorAll(".zoom button")].find((b) => b.textContent.includes(what))?.click();
  if (kind === "key") axis?.dispatchEvent(new KeyboardEvent("keydown", { key: what, bubbles: true }));
  if (kind === "pan" && rows) gesture(rows, at(rows, 700), at(rows, 700 + +what));
  if (kind === "drag" && axis) {
    const xs = [...document.querySelectorAll("circle.mark:not(.off)")].filter((m) => m.textContent.includes(what)).map((m) => +m.getAttribute("cx"));
    gesture(axis, at(axis, Math.min(...xs) - 8), at(axis, Math.max(...xs) + 8));
  }
  seen.push([act, [...document.querySelectorAll("circle.mark")].map((m) => [m.getAttribute("cx"), m.classList.contains("off")]),
    [...(axis?.querySelectorAll("text") ?? [])].map((t) => t.textContent), document.querySelector(".zoom span")?.textContent ?? ""]);
}
const record = document.createElement("pre");
record.id = "zoom-probe";
record.textContent = JSON.stringify(seen);
document.body.append(record);
"""


def write_probe(page, out, script):
    text = open(page, encoding="utf-8").read()
    digest = base64.b64encode(hashlib.sha256(script.encode()).digest()).decode()
    text = text.replace("script-src 'sha256-", f"script-src 'sha256-{digest}' 'sha256-", 1)
    text = text.replace("</body>", f"<script>{script}</script>\n</body>", 1)
    open(out, "w", encoding="utf-8").write(text)


def print_zoom_result(dom, problems):
    import html5lib
    import math

    root = html5lib.parse(open(dom, "rb").read(), namespaceHTMLElements=False, transport_encoding="utf-8")
    records = [e for e in root.iter() if local(e.tag) == "pre" and e.get("id") == "zoom-probe"]
    if len(records) != 1:
        problems.append("the zoom probe left no record: did the page's script run?")
        return
    for act, marks, labels, span in json.loads(text_of(records[0])):
        if not all(math.isfinite(float(x)) for x, _ in marks):  # hidden ones too
            problems.append(f"after {act}: a mark at no number: {marks}")
        print(f"{act}: {' '.join('-' if hidden else x for x, hidden in marks)} | {' '.join(labels)} | {span}")


def png_pixels_vary(data, width, height, problems):
    """Whether the PNG's pixels hold more than one colour (8-bit RGB or RGBA, not interlaced)."""
    chunks, at = {}, 8
    while at + 8 <= len(data):
        length, kind = struct.unpack(">I4s", data[at:at + 8])
        chunks.setdefault(kind, []).append(data[at + 8:at + 8 + length])
        at += 12 + length
    depth, colour, _, _, interlace = struct.unpack(">BBBBB", chunks[b"IHDR"][0][8:13])
    channels = {2: 3, 6: 4}.get(colour)
    if depth != 8 or channels is None or interlace != 0:
        problems.append(f"PNG of depth {depth}, colour type {colour}, interlace {interlace}: not read here")
        return False
    raw = zlib.decompress(b"".join(chunks[b"IDAT"]))
    stride = width * channels
    previous = bytearray(stride)
    colours = set()
    for y in range(height):
        line = raw[y * (stride + 1):(y + 1) * (stride + 1)]
        kind, row = line[0], bytearray(line[1:])
        for i in range(stride):
            left = row[i - channels] if i >= channels else 0
            up = previous[i]
            corner = previous[i - channels] if i >= channels else 0
            if kind == 1:
                row[i] = (row[i] + left) & 0xFF
            elif kind == 2:
                row[i] = (row[i] + up) & 0xFF
            elif kind == 3:
                row[i] = (row[i] + (left + up) // 2) & 0xFF
            elif kind == 4:
                p = left + up - corner
                pa, pb, pc = abs(p - left), abs(p - up), abs(p - corner)
                row[i] = (row[i] + (left if pa <= pb and pa <= pc else up if pb <= pc else corner)) & 0xFF
        if y % 8 == 0:
            colours.update(bytes(row[i:i + channels]) for i in range(0, stride, channels * 7))
        previous = row
        if len(colours) > 1:
            return True
    return False


def check_png(path, size, problems):
    data = open(path, "rb").read()
    if not data.startswith(b"\x89PNG\r\n\x1a\n") or data[12:16] != b"IHDR":
        problems.append("not a PNG")
        return
    width, height = struct.unpack(">II", data[16:24])
    if f"{width}x{height}" != size:
        problems.append(f"PNG of {width}x{height}, not {size}")
    elif not png_pixels_vary(data, width, height, problems):
        problems.append("the PNG is one colour: nothing was drawn")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("page", nargs="?")
    parser.add_argument("--rows", type=int)
    parser.add_argument("--marks", type=int)
    parser.add_argument("--last-marks", type=int)
    parser.add_argument("--failed", type=int)
    parser.add_argument("--text", action="append")
    parser.add_argument("--script-ran", action="store_true")
    parser.add_argument("--list-marks", action="store_true")
    parser.add_argument("--sort-probe")
    parser.add_argument("--sort-result", action="store_true")
    parser.add_argument("--zoom-probe")
    parser.add_argument("--act", action="append")
    parser.add_argument("--zoom-result", action="store_true")
    parser.add_argument("--png")
    parser.add_argument("--size")
    args = parser.parse_args()
    problems = []
    if args.png:
        check_png(args.png, args.size, problems)
    elif args.sort_probe:
        write_probe(args.page, args.sort_probe, SORT_PROBE)
    elif args.zoom_probe:
        write_probe(args.page, args.zoom_probe, ZOOM_PROBE.replace("ACTS", json.dumps(args.act or [])))
    else:
        try:
            import html5lib  # noqa: F401
        except ImportError:
            print("html5lib is not installed (Debian: python3-html5lib)")
            return 2
        if args.sort_result:
            check_sort_result(args.page, problems)
        elif args.zoom_result:
            print_zoom_result(args.page, problems)
        else:
            check_page(args.page, args, problems)
    for problem in problems:
        print("problem: " + problem)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
