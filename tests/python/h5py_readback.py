#!/usr/bin/python3
"""The HDF5 export read back by h5py, as an analyst's script would, against the record it came
from: a .kmr written here from the file format, `kmr info` and `kmr info --json` of it, and the
CSV conversion of the same file. Exit status 0 when every check holds, 1 otherwise, 77 (skipped)
when h5py is not installed.

    h5py_readback.py PATH/TO/kmr
"""
import json
import os
import resource
import struct
import subprocess
import sys
import tempfile

try:
    import h5py
    import numpy as np
except ImportError as e:
    print("SKIP: h5py is not available to /usr/bin/python3 (%s); Debian's python3-h5py, which "
          "scripts/setup installs, provides it" % e)
    sys.exit(77)

KMR = sys.argv[1]
N = 70000                # beyond a CSV part (65000)
CLOCK = 0.05             # ms
CHANNELS = {             # channel: (input mode, lpf, coeff, point, unit, dtg on, dtg level, offset)
    2: (2, 1, 1.2345678, 2, 0, 0, 1000.0, 0.25),
    5: (-5, 3, 2.0e-3, 4, 3, 1, 123.5, -100.0),
    9: (3, 0, -0.75, 0, 13, 0, -50.0, 1000.5),
}
failures = []


def check(ok, what):
    if not ok:
        failures.append(what)
        print("FAILED:", what)


def text(s, length=None):
    b = s.encode("utf-8")
    return struct.pack("<i", len(b)) + b


def write_kmr(path, signature="KMR_FILE BY VNTNORDA"):
    """A data file by the format: the 1100-byte header, then one block per channel switched on."""
    h = text(signature) + text("2026/12/06 09:00:00 ")
    h += struct.pack("<hfiiihh", 1, CLOCK, N, 500, N, 0, len(CHANNELS)) + text(" " * 26)
    for ch in range(1, 11):
        mode, lpf, coeff, point, unit, dtg, level, offset = CHANNELS.get(ch, (2, 0, 1.0, 0, 0, 0, 1000.0, 0.0))
        h += struct.pack("<hhhfhhhff", 1 if ch in CHANNELS else 0, mode, lpf, coeff, point, unit, dtg, level, offset)
        h += text(" " * 72)
    assert len(h) == 1100
    raw = {}
    with open(path, "wb") as f:
        f.write(h)
        for k, ch in enumerate(sorted(CHANNELS)):
            words = ((np.arange(N, dtype=np.int64) * 7919 + k * 104729) % 65536 - 32768).astype("<i2")
            raw[ch] = words
            f.write(words.tobytes())
        f.write(b"\0\0")  # the last block is the whole buffer of MRY + 1 words
    return raw


def kmr(*args, expect=0, limit=None):
    # limit: the largest file the tool may write, as `ulimit -f` sets it.
    preexec = (lambda: resource.setrlimit(resource.RLIMIT_FSIZE, (limit, limit))) if limit else None
    r = subprocess.run([KMR] + list(args), capture_output=True, text=True, preexec_fn=preexec)
    check(r.returncode == expect, "kmr %s: exit status %d, expected %d (%s)" % (" ".join(args), r.returncode, expect, r.stderr.strip()))
    return r.stdout


def info_lines(out):
    """kmr info's output: one dict per file of "Name" -> "value"."""
    files = []
    for block in out.strip().split("\n\n"):
        files.append(dict(line.split(": ", 1) for line in block.splitlines()))
    return files


def same_as_text(value, textual):
    """A JSON value equals the text kmr info prints: a number as the number, a code with its name
    as "N (name)", yes/no as a boolean."""
    if isinstance(value, bool):
        return textual == ("yes" if value else "no")
    if isinstance(value, (int, float)):
        return float(textual) == float(value)
    return textual == value


def check_info(paths):
    texts = info_lines(kmr("info", *paths))
    objects = json.loads(kmr("info", "--json", *paths))
    check(isinstance(objects, list) and len(objects) == len(paths), "kmr info --json: one object per file")
    for t, o in zip(texts, objects):
        for key, textual in t.items():
            if key.startswith("CH"):
                ch, field = int(key[2:4]), key[5:]
                obj = o["Channels"][ch - 1]
                check(obj["Channel"] == ch, "Channels[%d] is channel %d" % (ch - 1, ch))
            else:
                field, obj = key, o
            if field + "Name" in obj:
                want = "%s (%s)" % (obj[field], obj[field + "Name"])
                check(textual == want, "%s: %r in kmr info, %r in --json" % (key, textual, want))
            else:
                check(same_as_text(obj[field], textual), "%s: %r in kmr info, %r in --json" % (key, textual, obj[field]))
        names = len([k for k in o if k != "Channels" and not k.endswith("Name")]) + \
            sum(len([k for k in c if k != "Channel" and not k.endswith("Name")]) for c in o["Channels"])
        check(names == len(t), "kmr info --json has the %d fields of kmr info (%d)" % (len(t), names))
    return objects


def csv_cells(folder, stem, channels):
    """The value texts of the CSV conversion, per channel, every part in order."""
    parts = sorted(p for p in os.listdir(folder) if p.startswith(stem + "_") and p.endswith(".csv"))
    cells = {ch: [] for ch in channels}
    numbers = []
    for p in parts:
        with open(os.path.join(folder, p), "rb") as f:
            lines = f.read().split(b"\r\n")[18:-1]
        for line in lines:
            numbers.append(int(line[:16]))
            for k, ch in enumerate(channels):
                cells[ch].append(line[16 * (k + 1) + 1:16 * (k + 2)].decode().strip())
    return numbers, cells


def check_h5(path, info, raw, channels, first, count, cells=None):
    with h5py.File(path, "r") as f:
        a = f.attrs
        check(a["trigger_time"] == info["TriggerTime"], "trigger_time")
        check(a["trigger_mode"] == info["TrgMode"] and a["trigger_mode_name"] == "Data Trigger", "trigger_mode")
        check(a["sampling_clock_ms"] == info["SmpClk"] == CLOCK, "sampling_clock_ms")
        check(a["memory_words"] == info["MemoryWords"] and a["pre_memory_words"] == info["PreMemoryWords"], "memory words")
        check(a["averaging"] == info["Averaging"], "averaging")
        check(a["samples"] == count and a["first_sample"] == first, "samples %d, first_sample %d" % (a["samples"], a["first_sample"]))
        check(a["source_file"] == "rec.kmr", "source_file")
        check(a["model"] == "KMR-510C", "model")
        check(sorted(f.keys()) == sorted(["time"] + ["CH%03d" % ch for ch in channels]), "members %s" % sorted(f.keys()))
        time = f["time"][:]
        want = (np.arange(first, first + count, dtype=np.float64) * info["SmpClk"]) / 1000.0
        check(time.dtype == np.float64 and np.array_equal(time, want), "time is index x clock")
        for ch in channels:
            g = f["CH%03d" % ch]
            c = info["Channels"][ch - 1]
            check(g.attrs["input_mode"] == c["InputModeName"] and g.attrs["lpf"] == c["LpfName"], "CH%03d names" % ch)
            # As stored (float32), and as kmr info prints them (seven significant digits).
            for attr, key, stored in (("coefficient", "Coeff", CHANNELS[ch][2]), ("offset", "Offset", CHANNELS[ch][7])):
                a32 = g.attrs[attr]
                check(a32.dtype == np.float32 and a32 == np.float32(stored), "CH%03d %s as stored" % (ch, attr))
                check(float("%.6e" % float(a32)) == float(c[key]), "CH%03d %s as kmr info prints it" % (ch, attr))
            check(g.attrs["point"] == c["Point"] and g.attrs["dtg_on"] == c["DtgOnOff"]
                  and float(g.attrs["dtg_level"]) == float(c["DtgLevel"]), "CH%03d point and data trigger" % ch)
            unit = ["\u00b5", "mm", "cm", "\u00b0C", "gf", "kgf", "tf", "N", "kN", "MN", "kgf/mm^2", "kgf/cm^2", "kPa", "MPa"]
            check(g.attrs["unit"] == unit[c["Unit"]], "CH%03d unit %r" % (ch, g.attrs["unit"]))
            r = g["raw"][:]
            v = g["value"][:]
            check(r.dtype == np.int16 and np.array_equal(r, raw[ch][first:first + count]), "CH%03d raw words" % ch)
            coeff = np.float64(np.float32(CHANNELS[ch][2]))
            offset = np.float64(np.float32(CHANNELS[ch][7]))
            want = (r.astype(np.float64) * coeff + offset).astype(np.float32)
            check(v.dtype == np.float32 and np.array_equal(v.view(np.uint32), want.view(np.uint32)), "CH%03d values bit for bit" % ch)
            if cells is not None:
                # The CSV prints seven significant digits of the same float.
                printed = np.array([float(t) for t in cells[ch][first:first + count]])
                digits = np.array([float("%.6e" % x) for x in v.astype(np.float64)])
                check(np.array_equal(printed, digits), "CH%03d values are the CSV's numbers" % ch)


def main():
    with tempfile.TemporaryDirectory() as d:
        path = os.path.join(d, "rec.kmr")
        raw = write_kmr(path)
        cancelled = os.path.join(d, "cancelled.kmr")
        write_kmr(cancelled, "KMR_FILE CANCEL     ")
        info = check_info([path, cancelled])[0]
        check(json.loads(kmr("info", "--json", path, os.path.join(d, "missing.kmr"), expect=1))[0]["File"] == path,
              "kmr info --json stays valid JSON beside a file it cannot read")

        channels = sorted(CHANNELS)
        kmr("convert", path)
        numbers, cells = csv_cells(d, "rec", channels)
        check(numbers == list(range(N)), "CSV sample numbers")
        kmr("convert", "--format", "hdf5", path)
        check_h5(os.path.join(d, "rec.h5"), info, raw, channels, 0, N, cells)

        os.mkdir(os.path.join(d, "part"))
        first, last = 1000, 69999
        kmr("convert", "--format", "hdf5", "--compress", "--channels", "9,5", "--from", "0.05", "--to", "%.17g" % (last * CLOCK / 1000),
            "--out", os.path.join(d, "part"), path)
        check_h5(os.path.join(d, "part", "rec.h5"), info, raw, [5, 9], first, last - first + 1, cells)
        with h5py.File(os.path.join(d, "part", "rec.h5"), "r") as f:
            check(f["CH005/value"].compression == "gzip" and f["CH005/value"].shuffle, "--compress: shuffle and deflate")
            check(f["time"].chunks == (69000,), "chunked")
        # Never over an existing file.
        kmr("convert", "--format", "hdf5", path, expect=1)
        # A file-size limit fails the write as a full disk does: said, and nothing left behind.
        for fmt in ("hdf5", "csv"):
            full = os.path.join(d, "limited-" + fmt)
            os.mkdir(full)
            kmr("convert", "--format", fmt, "--out", full, path, expect=1, limit=300000)
            check(os.listdir(full) == [], "%s past a file-size limit leaves %s" % (fmt, os.listdir(full)))
    if failures:
        print("%d checks failed" % len(failures))
        return 1
    print("h5py read-back: every check held")
    return 0


sys.exit(main())
