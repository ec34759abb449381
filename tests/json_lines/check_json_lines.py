#!/usr/bin/python3
"""Reads kerf's -json and -timesketch output with parsers kerf does not share:
Python's json module for every line, and the python3-jsonschema validator
against the schemas in docs/.

    check_json_lines.py hostile KERF WRITE_HOSTILE_FILES DOCS
    check_json_lines.py corpus KERF DOCS CORPUS
    check_json_lines.py lines DOCS LAYOUT < LINES

"hostile" runs kerf over made files whose names and contents hold line
breaks, quotes, backslashes, escape characters, bytes that are not UTF-8 and
UTF-16 surrogates without their partner, in every input mode; "corpus" over
the real Prefetch files; "lines" checks the lines of one layout (-json,
-timesketch, "-history -json" or "-history -timesketch") a test made and hands over on standard input. Exit status 0: all lines valid; 1: a fault; 77: the
check could not run (the reason is printed)."""

import json
import os
import re
import subprocess
import sys
import tempfile

SKIP = 77


def skip(reason):
    print("SKIP: " + reason)
    sys.exit(SKIP)


try:
    import jsonschema
except ImportError:
    skip("python3-jsonschema is not installed (Debian package python3-jsonschema)")

failures = []


def fail(message):
    failures.append(message)
    print("FAIL: " + message)


def repaired(name):
    """`name` (bytes) as kerf must show it: well-formed UTF-8 kept, a UTF-16
    surrogate pair stored as two three-byte sequences joined, a lone stored
    surrogate one U+FFFD, every other byte that is not UTF-8 one U+FFFD."""
    text = []
    for i, piece in enumerate(re.split(rb"((?:\xed[\xa0-\xbf][\x80-\xbf])+)", name)):
        if i % 2 == 0:
            text.append(piece.decode("utf-8", "replace"))
        else:
            units = piece.decode("utf-8", "surrogatepass").encode("utf-16-le", "surrogatepass")
            text.append(units.decode("utf-16-le", "replace"))
    return "".join(text)


def load_validators(docs):
    validators = {}
    for layout, name in (("-json", "kerf-json.schema.json"), ("-timesketch", "kerf-timesketch.schema.json"),
                         ("-history -json", "kerf-history.schema.json"),
                         ("-history -timesketch", "kerf-history-timesketch.schema.json")):
        with open(os.path.join(docs, name), encoding="utf-8") as f:
            schema = json.load(f)
        jsonschema.Draft202012Validator.check_schema(schema)
        validators[layout] = jsonschema.Draft202012Validator(schema)
    return validators


def run_kerf(kerf, args, stdin=b""):
    """kerf's standard output, status and standard error."""
    result = subprocess.run([kerf] + args, input=stdin, capture_output=True, timeout=120)
    return result.stdout, result.returncode, result.stderr


def parse_lines(output, validator, what):
    """Every line of `output` as a JSON value checked against the schema."""
    try:
        text = output.decode("utf-8")  # strict: any byte that is not UTF-8 fails
    except UnicodeDecodeError as error:
        fail(f"{what}: output is not UTF-8: {error}")
        return []
    if text and not text.endswith("\n"):
        fail(f"{what}: the last line has no line end")
    values = []
    for number, line in enumerate(text.split("\n")[:-1], 1):
        try:
            value = json.loads(line)  # strict: a raw control character fails
        except ValueError as error:
            fail(f"{what}: line {number} is not JSON: {error}: {line!r}")
            continue
        for error in validator.iter_errors(value):
            fail(f"{what}: line {number}: {error.message} at {list(error.absolute_path)}")
        values.append(value)
    return values


def check_hostile(kerf, writer, docs):
    validators = load_validators(docs)
    with tempfile.TemporaryDirectory() as scratch:
        folder = os.path.join(scratch, "files")
        subprocess.run([writer, folder], check=True)
        names = sorted(os.listdir(os.fsencode(folder)))
        # A file that fails gives no line, wherever it stands in the run.
        with open(os.path.join(folder, "junk.pf"), "wb") as junk:
            junk.write(b"not a Prefetch file")
        paths = [os.path.join(os.fsencode(folder), name) for name in names]
        host = b"host \"1\"\n\x1b[2J\xff"
        user = b"user\\\xed\xa0\x80"  # a surrogate stored as three bytes

        for layout, validator in validators.items():
            if layout.startswith("-history"):
                continue
            per_file = 1 if layout == "-json" else None
            walked, status, err = run_kerf(kerf, ["-enumdir", folder + "/", layout, "-quiet",
                                                  "-hostname", host, "-username", user])
            values = parse_lines(walked, validator, f"{layout} -enumdir")
            if status != 0 and not values:
                fail(f"{layout} -enumdir: status {status}, {err!r}")
            if per_file and len(values) != len(names):
                fail(f"{layout} -enumdir: {len(values)} lines for {len(names)} decodable files")
            for value in values:
                if value.get("hostname") != repaired(host) or value.get("username") != repaired(user):
                    fail(f"{layout}: host or user name shown as {value.get('hostname')!r}, {value.get('username')!r}")

            pipeable = [p for p in paths if b"\n" not in p]
            output, _, _ = run_kerf(kerf, ["-pipe", layout, "-quiet"], b"".join(p + b"\n" for p in pipeable))
            values = parse_lines(output, validator, f"{layout} -pipe")
            if per_file and len(values) != len(pipeable):
                fail(f"{layout} -pipe: {len(values)} lines for {len(pipeable)} files")

            for path in paths:
                output, status, err = run_kerf(kerf, [path, layout])
                values = parse_lines(output, validator, f"{layout} {path!r}")
                if status != 0 or (per_file and len(values) != 1):
                    fail(f"{layout} {path!r}: status {status}, {len(values)} lines, {err!r}")
                if layout == "-json":
                    check_hostile_record(values, path)
            output, status, _ = run_kerf(kerf, [os.path.join(folder, "junk.pf"), layout])
            if output or status == 0:
                fail(f"{layout}: a file that is not a Prefetch file wrote {output!r} (status {status})")


def check_hostile_record(values, path):
    """The facts of the hostile image as Python reads them from the line."""
    if not values:
        return
    record = values[0]
    shown_name = repaired(os.path.basename(path))
    checks = {
        "source name": (record["source"]["name"], shown_name),
        "executable": (record["executable"], "Q\"B\\E\x1b\nS\ufffd.EXE"),
        "loaded files": ([f["path"] for f in record["files"]],
                         ["\\VOLUME{1}\\A\ufffdB\\X.DLL", "\\VOLUME{1}\\\U0001F600.DLL",
                          "\\VOLUME{1}\\T\tN\r\n.DLL", "\\VOLUME{1}\\APP\\Q\"B\\E\x1b\nS\ufffd.EXE"]),
        "volumes": ([(v["device_path"], v["serial"], v["created"], v["directories"]) for v in record["volumes"]],
                    [("\\VOLUME{1}\ufffd", "0012ABCD", "2019-07-01T12:00:00.0000000Z", ["\\VOLUME{1}\\\ufffd\ufffd"]),
                     ("\\VOLUME{2}", "FFFFFFFF", None, [])]),
        "last run": (record["last_run"], "2016-01-11T22:08:20.9851234Z"),
    }
    for what, (got, expected) in checks.items():
        if got != expected:
            fail(f"-json {path!r}: {what} is {got!r}, expected {expected!r}")


def check_corpus(kerf, docs, corpus):
    if not os.path.isdir(corpus):
        skip(f"no Prefetch corpus at {corpus} (set KERF_CORPUS)")
    validators = load_validators(docs)
    decodable = 0
    for folder, _, files in os.walk(corpus):
        if os.path.basename(folder) != "Bad":
            decodable += sum(1 for name in files if name.lower().endswith(".pf"))
    for layout, validator in validators.items():
        output, _, _ = run_kerf(kerf, ["-enumdir", corpus + "/", "-num_subdirs", "1", "-filter", "*.pf",
                                       *layout.split(), "-quiet", "-hostname", "WS01"])
        values = parse_lines(output, validator, f"corpus {layout}")
        if layout == "-json" and len(values) != decodable:
            fail(f"corpus -json: {len(values)} lines for {decodable} Prefetch files")
        if layout.endswith("-timesketch") and not values:
            fail(f"corpus {layout}: no events")
    check_carved(kerf, validators, corpus, decodable)


def check_carved(kerf, validators, corpus, decodable):
    """The corpus's files back to back among other bytes, the last one cut
    in half, carved: every find, whole or partial, matches the schemas."""
    with tempfile.TemporaryDirectory() as scratch:
        blob = os.path.join(scratch, "blob.bin")
        with open(blob, "wb") as out:
            for folder, _, files in sorted(os.walk(corpus)):
                if os.path.basename(folder) == "Bad":
                    continue
                for name in sorted(files):
                    if name.lower().endswith(".pf"):
                        out.write(os.urandom(777))
                        with open(os.path.join(folder, name), "rb") as pf:
                            content = pf.read()
                        out.write(content)
            out.truncate(out.tell() - len(content) // 2)
        for layout, validator in validators.items():
            output, status, err = run_kerf(kerf, ["-carve", blob, *layout.split(), "-quiet"])
            values = parse_lines(output, validator, f"carved {layout}")
            if status != 0:
                fail(f"carved {layout}: status {status}, {err!r}")
            if layout == "-json":
                partial = [v for v in values if v["source"]["partial"]]
                if len(values) != decodable or len(partial) != 1:
                    fail(f"carved -json: {len(values)} finds ({len(partial)} partial) for {decodable} files, the last cut")


def main():
    if len(sys.argv) == 5 and sys.argv[1] == "hostile":
        check_hostile(*sys.argv[2:])
    elif len(sys.argv) == 5 and sys.argv[1] == "corpus":
        check_corpus(sys.argv[2], sys.argv[3], os.environ.get("KERF_CORPUS") or sys.argv[4])
    elif len(sys.argv) == 4 and sys.argv[1] == "lines":
        values = parse_lines(sys.stdin.buffer.read(), load_validators(sys.argv[2])[sys.argv[3]], sys.argv[3])
        if not values:
            fail("no lines to check")
    else:
        print(__doc__)
        return 2
    if failures:
        print(f"{len(failures)} failed")
        return 1
    print("every line parsed and matched its schema")
    return 0


if __name__ == "__main__":
    sys.exit(main())
