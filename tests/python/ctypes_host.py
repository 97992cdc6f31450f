"""The library driven from Python through ctypes, as a scripting host would drive it."""
import ctypes
import os
import sys
import tempfile

bin_dir, lib_path, samples_dir = sys.argv[1], sys.argv[2], sys.argv[3]
failures = []
checks = 0


def check(condition, what):
    global checks
    checks += 1
    if not condition:
        failures.append(what)


qrx = ctypes.CDLL(lib_path)
WRITE_DIAG = ctypes.CFUNCTYPE(None, ctypes.c_void_p)
STATUS_BAR = ctypes.CFUNCTYPE(None, ctypes.c_void_p, ctypes.c_int32)


def utf16(text):
    data = (text + "\0").encode("utf-16-le")
    return ctypes.create_string_buffer(data, len(data))


def read_utf16(address):
    units = []
    pointer = ctypes.cast(address, ctypes.POINTER(ctypes.c_uint16))
    while pointer[len(units)] != 0:
        units.append(pointer[len(units)])
    return "".join(map(chr, units)).encode("utf-16-le", "surrogatepass").decode("utf-16-le")


seen = []
on_diag = WRITE_DIAG(lambda text: seen.append(read_utf16(text)))
on_progress = STATUS_BAR(lambda text, percent: seen.append((read_utf16(text), percent)))
check(qrx.DllInitialize(None, on_diag, on_progress) == 1, "DllInitialize answers 1")
check(qrx.GetDllVersion() == 0, "GetDllVersion answers 0")
extensions = ctypes.create_string_buffer(32)
qrx.GetSupportedExtensions(extensions)
check(extensions.raw[:22].decode("utf-16-le") == "*.fp5;*.fp7", "extension filter")
stop = ctypes.c_uint8(0)
qrx.SetBreakFlag(ctypes.byref(stop))

with tempfile.TemporaryDirectory() as folder:
    source = os.path.join(folder, "noise.fp7")
    with open(source, "wb") as out:
        out.write(b"\x5a" * 9000)
    argument, target = utf16(source + "*"), utf16(os.path.join(folder, "out"))

    # Python itself is the executable: without the host module loaded, the string library is not
    # found beside it, and the recovery refuses to start.
    check(qrx.FileRecover(argument, target, None) == -2, "no host module: -2")
    check(seen == [], "nothing announced without the host strings")

    # Loading the host module tells the library where its string library lives.
    ctypes.CDLL(os.path.join(bin_dir, "wmxdll.so"))
    check(qrx.FileRecover(argument, target, None) == -3, "unknown content: -3")
    check(seen == ["Pass 1: analyzing database...", ("Getting file version... 5%", 5)],
          "pass and progress texts: %r" % seen)

    # The tables of a deep recovery, each with its files, through the struct of the C header.
    class ColumnResult(ctypes.Structure):
        _fields_ = [("name", ctypes.c_void_p), ("fieldName", ctypes.c_void_p),
                    ("type", ctypes.c_uint32), ("kind", ctypes.c_void_p)]

    class TableResult(ctypes.Structure):
        _fields_ = [("name", ctypes.c_void_p), ("columns", ctypes.c_uint32),
                    ("rows", ctypes.c_uint32), ("files", ctypes.POINTER(ctypes.c_void_p)),
                    ("note", ctypes.c_void_p), ("columnCount", ctypes.c_uint32),
                    ("columnList", ctypes.POINTER(ctypes.POINTER(ColumnResult))),
                    ("damagedUnits", ctypes.c_uint32)]

    sample = utf16(os.path.join(samples_dir, "damaged.fp7"))
    check(qrx.FileRecoverEx(sample, utf16(os.path.join(folder, "deep")), None) == 0, "deep: 0")
    tables = ctypes.POINTER(ctypes.POINTER(TableResult))()
    check(qrx.RecoveredTables(ctypes.byref(tables)) == 4, "RecoveredTables: four tables")
    check(not tables[4], "the list ends with a null pointer")
    customers = tables[0].contents
    files = [read_utf16(customers.files[i]) for i in range(3)]
    check((read_utf16(customers.name), customers.columns, customers.rows) == ("Customers", 4, 150),
          "Customers: 4 columns, 150 rows")
    check(files == ["Customers.dbf", "Customers.dbt", "Customers.cpg"] and not customers.files[3],
          "Customers' files: %r" % files)
    check(read_utf16(tables[1].contents.note) == "2 damaged pages" and not customers.note, "notes")
    columns = [customers.columnList[i].contents for i in range(customers.columnCount)]
    described = [(read_utf16(c.name), chr(c.type), read_utf16(c.kind)) for c in columns]
    check(described[-1][1] == "M" and not customers.columnList[customers.columnCount],
          "Customers' columns: %r" % described)
    check(tables[1].contents.damagedUnits == 2, "Orders: two damaged pages")

    columns = [ctypes.POINTER(ctypes.c_void_p)() for _ in range(4)]
    check(qrx.RecoveryReport(*[ctypes.byref(c) for c in columns]) == 0, "RecoveryReport answers 0")
    check(read_utf16(columns[2][0]) == "2", "report grade (two damaged pages)")

print("ctypes host: %d checks, %d failed" % (checks, len(failures)))
for failure in failures:
    print("FAILED:", failure)
sys.exit(1 if failures else 0)
