"""Recovers every real sample with --format dbf,sqlite,csv (texts in UTF-8) and compares every value
of the SQLite database (read with Python's sqlite3 module and the sqlite3 program) and of the CSV
files (Python's csv module) with the dBase table of the same run; then checks that --list writes
nothing and agrees with that run.

usage: formats_check.py QRX_RECOVER SAMPLES_DIR"""
import csv, decimal, json, os, pathlib, shutil, sqlite3, subprocess, sys, tempfile


def read_dbf(path):
    data = path.read_bytes()
    count = int.from_bytes(data[4:8], "little")
    header = int.from_bytes(data[8:10], "little")
    length = int.from_bytes(data[10:12], "little")
    fields = []
    for at in range(32, header - 1, 32):
        name = data[at:at + 11].split(b"\0")[0].decode()
        fields.append((name, chr(data[at + 11]), data[at + 16]))
    memo = path.with_suffix(".dbt")
    memo = memo.read_bytes() if memo.exists() else b""
    rows = []
    for r in range(count):
        record = data[header + r * length:header + (r + 1) * length]
        at, row = 1, []
        for name, kind, width in fields:
            raw = record[at:at + width]
            at += width
            if kind == "M":
                text = raw.strip()
                raw = memo[int(text) * 512:].split(b"\x1a\x1a")[0] if text else b""
            row.append((kind, raw.decode("utf-8", "replace")))
        rows.append(row)
    return fields, rows


def same(kind, dbf, other):
    """Whether a dBase value (padded text) and a typed value are the same."""
    if kind == "N":
        return (dbf.strip() == "" and other in (None, "")) or (
            other not in (None, "") and decimal.Decimal(dbf.strip()) == decimal.Decimal(str(other)))
    if kind == "D":
        expected = dbf.strip()
        expected = f"{expected[:4]}-{expected[4:6]}-{expected[6:]}" if expected else ""
        return expected == (other or "")
    # Blank padding, a 0x1A written as a blank and a cut to the field are dBase's own.
    return dbf.rstrip(" ") == (other or "").replace("\x1a", " ")[:len(dbf)].rstrip(" ") or \
        (kind == "C" and (other or "").startswith(dbf.rstrip(" ")))


def check_sample(tool, sample, work):
    out = work / sample.stem
    run = subprocess.run([tool, "--format", "dbf,sqlite,csv", "--encoding", "utf-8", "--json",
                          str(sample), str(out)], capture_output=True, text=True)
    report = json.loads(run.stdout)
    assert run.returncode in (0, 5), (sample, run.stderr)
    database = out / (sample.stem + ".sqlite")
    db = sqlite3.connect(database)
    assert db.execute("PRAGMA integrity_check").fetchone()[0] == "ok"
    checked = 0
    for table in report["tables"]:
        dbfs = [f for f in table["files"] if f.endswith(".dbf")]
        if not dbfs:
            continue
        assert database.name in table["files"], table
        fields, dbf_rows = read_dbf(out / dbfs[0])
        csv_name = [f for f in table["files"] if f.endswith(".csv")][0]
        with open(out / csv_name, newline="", encoding="utf-8") as handle:
            csv_rows = list(csv.reader(handle))
        sql_name = db.execute("SELECT name FROM qrx_tables WHERE name = ?",
                              (table["name"],)).fetchone()[0]
        sql_rows = db.execute('SELECT * FROM "%s" ORDER BY rowid' % sql_name.replace('"', '""')).fetchall()
        assert len(csv_rows) - 1 == len(dbf_rows) == len(sql_rows) == table["rows"], table["name"]
        kinds = [k for (k,) in db.execute(
            "SELECT definition FROM qrx_columns WHERE table_name = ? ORDER BY position",
            (table["name"],))]
        for dbf_row, csv_row, sql_row in zip(dbf_rows, csv_rows[1:], sql_rows):
            for (kind, value), csv_value, sql_value, definition in zip(dbf_row, csv_row, sql_row,
                                                                       kinds):
                if definition in ("time", "timestamp") and csv_value == (sql_value or ""):
                    checked += 1
                    continue  # rewritten as ISO 8601, the same in both
                if kind in "CM" and csv_value.startswith("'") and csv_value[1:2] in "=+-@\t\r":
                    csv_value = csv_value[1:]
                assert same(kind, value, csv_value), (table["name"], kind, value, csv_value)
                assert same(kind, value, sql_value), (table["name"], kind, value, sql_value)
                checked += 1
    # The command-line program reads the same database.
    shell = subprocess.run(["sqlite3", str(database), "SELECT count(*) FROM qrx_tables"],
                           capture_output=True, text=True)
    if shutil.which("sqlite3"):
        assert shell.stdout.strip() == str(len(report["tables"])), shell
    return report, checked


def check_listing(tool, sample, report, work):
    before = sorted(os.listdir(work))
    run = subprocess.run([tool, "--list", "--json", str(sample)], capture_output=True, text=True,
                         cwd=work)
    assert sorted(os.listdir(work)) == before, "--list created something"
    listing = json.loads(run.stdout)
    assert [(t["name"], t["rows"]) for t in listing["tables"]] == \
        [(t["name"], t["rows"]) for t in report["tables"]]
    for table in listing["tables"]:
        for column in table["columns"]:
            assert column["type"] in "CNDM" and column["kind"], column


def main():
    tool, samples = sys.argv[1], pathlib.Path(sys.argv[2])
    sources = sorted(p for p in samples.glob("fp[57]/*") if p.suffix.lower() in (".fp5", ".fp7"))
    if not sources:
        print("0 passed, 0 failed, 1 skipped: no real samples")
        return 0
    passed = 0
    with tempfile.TemporaryDirectory() as temp:
        work = pathlib.Path(temp)
        for sample in sources:
            report, checked = check_sample(tool, sample, work)
            check_listing(tool, sample, report, work)
            print(f"{sample.name}: {checked} values the same in dBase, SQLite and CSV")
            passed += 1
    print(f"{passed} passed, 0 failed")
    return 0


if __name__ == "__main__":
    sys.exit(main())
