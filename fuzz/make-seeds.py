#!/usr/bin/env python3
"""Writes the fuzz targets' seed corpora into fuzz/corpus/<target>/: small well-formed inputs and a
few near misses for each, in the input encoding each target documents. Run it again after
changing an encoding; the files are kept in the repository, beside the regression-* inputs of
past findings, which this script leaves alone."""
import os
import struct
import sys

root = os.path.join(os.path.dirname(os.path.abspath(__file__)), "corpus")
MASK = 0xA7


def write(target, name, data):
    folder = os.path.join(root, target)
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, name), "wb") as f:
        f.write(data)


def utf16(text):
    return text.encode("utf-16-le")


def handoff(user, password, size=272, user_length=None, password_length=None):
    u, p = utf16(user), utf16(password)
    record = bytearray(272)
    struct.pack_into("<III", record, 0, size, 0, 0)
    struct.pack_into("<II", record, 8, len(u) if user_length is None else user_length,
                     len(p) if password_length is None else password_length)
    record[16:16 + len(u)] = u
    record[144:144 + len(p)] = p
    return bytes(b ^ MASK for b in record)


def recipe_text(text):
    units = utf16(text)
    return bytes([len(units) // 2]) + units


def image_record(in_use, user, password, domain=""):
    record = bytearray(320)
    struct.pack_into("<I", record, 4, in_use)
    struct.pack_into("<I", record, 12, len(password))
    for offset, text in ((16, user), (80, password), (144, domain)):
        units = utf16(text)[:64]
        record[offset:offset + len(units)] = units
    return bytes(record) + struct.pack("<I", 0)


def broadcast(vid, pid, dbch_size, device_type, name, terminate=True):
    body = struct.pack("<II", device_type, 0) + bytes(range(16)) + utf16(name)
    if terminate:
        body += b"\0\0"
    return struct.pack("<HHI", vid, pid, dbch_size) + body


def main():
    write("handoff", "alice", handoff("alice", "secret"))
    write("handoff", "sixteen-units", handoff("abcdefghijklmnop", "0123456789abcdef"))
    write("handoff", "odd-length", handoff("alice", "secret", password_length=5))
    write("handoff", "wrong-size", handoff("alice", "secret", size=271))
    write("handoff", "user-too-long", handoff("alice", "secret", user_length=33))
    write("handoff", "short", handoff("alice", "secret")[:271])

    header = recipe_text("alice") + recipe_text("new password") + b"\x00"
    write("template_image", "find-and-set", header + image_record(1, "bob", "x") +
          image_record(1, "alice", "old"))
    write("template_image", "clear", recipe_text("bob") + recipe_text("") + b"\x83" +
          image_record(0, "bob", "a") + image_record(7, "bob", "b", "DOMAIN"))
    write("template_image", "full-fields", recipe_text("A" * 32) + recipe_text("P" * 33) + b"\x05" +
          image_record(1, "A" * 32, "B" * 32, "C" * 32))

    sensor = "\\\\?\\USB#VID_2F1B&PID_0106#5&2A7C3B1&0&3#{a5dcbf10-6530-11d2-901f-00c04fb951ed}"
    full = 28 + 2 * len(sensor) + 2
    write("broadcast", "sensor", broadcast(0x2F1B, 0x0106, full, 5, sensor))
    write("broadcast", "lower-case", broadcast(0x2F1B, 0x0106, full, 5, sensor.lower()))
    write("broadcast", "no-terminator", broadcast(0x2F1B, 0x0106, full - 2, 5, sensor, False))
    write("broadcast", "odd-size", broadcast(0x2F1B, 0x0106, full - 3, 5, sensor, False))
    write("broadcast", "port", broadcast(0x2F1B, 0x0106, 40, 3, "COM1"))
    write("broadcast", "header-only", broadcast(0x2F1B, 0x0106, 12, 5, ""))

    for name, text in (("sensor", b"USB\\VID_2F1B&PID_0106\\5&2A7C3B1&0&3"),
                       ("pid-first", b"PID_0007\\VID_0101\\VID_0202"),
                       ("short-pid", b"USB\\VID_2F1B&PID_12"),
                       ("lower-case", b"USB\\VID_2f1b&PID_0106"),
                       ("wide-unit", b"USB\\VID_2F1B&PID_01\xff\x30\x00\x36")):
        write("device_instance_id", name, text)

    for name, text in (("program-files", b"C:\\Program Files\\NorvikFP\\NVDService.exe"),
                       ("unexpanded", b"%ProgramFiles%\\NorvikFP\\NVDUninst.exe"),
                       ("unc", b"\\\\server\\share\\NVDUninst.exe"),
                       ("unc-no-share", b"\\\\server\\"),
                       ("drive-relative", b"C:NVDService.exe"),
                       ("wide-unit", b"C:\\\xff\x1c\x20.exe")):
        write("start_path", name, text)

    # Type byte, then the data: REG_SZ, REG_EXPAND_SZ, REG_MULTI_SZ, REG_DWORD, REG_QWORD.
    for name, value in (("version", b"\x01" + utf16("6.3\0")),
                        ("no-terminator", b"\x01" + utf16("6.3")),
                        ("odd-size", b"\x02" + utf16("6.3") + b"\x00"),
                        ("multi", b"\x07" + utf16("6.3\0second\0\0")),
                        ("over-the-buffer", b"\x01" + utf16("6" * 600)),
                        ("dword", b"\x04" + struct.pack("<I", 1)),
                        ("short-dword", b"\x04\x01\x00"),
                        ("qword", b"\x0b" + struct.pack("<Q", 1))):
        write("registry_value", name, value)

    write("sim_state", "default", b"winbio-sim 2\nsamples\t8\nauto\t0\nremoved\t0\nevents\t0\n"
          b"autofingers\t0\nremoval\tnotice-first\n"
          b"unit\t1\tUSB\\VID_2F1B&PID_0106\\5&2A7C3B1&0&3\tNorvik Fingerprint Sensor\tNorvik\tNV-FP1\t"
          b"SIM-0001\t1\t0\n")
    write("sim_state", "busy", b"winbio-sim 2\r\nsamples\t3\r\nauto\t1\r\nremoval\tcompletion-first\r\n"
          b"enrol\tS-1-5-21-1-2-3-1001\t2\tfinger-a\r\n"
          b"pending\t42\t7\tcapture\r\nsample\tgood\t42\t7\tfinger-a\r\n"
          b"pending\t42\t8\tidentify\r\nsample\tbad\t42\t8\t4\r\n")
    write("sim_state", "failures", b"winbio-sim 2\nfail\tWinBioEnrollCommit\t-2146861045\t2\n"
          b"fail\tEnrollCommit\t5\t1\nfail\tcaptureresult\t-2146861053\t-1\n")

    for index in range(11):
        write("trace", "format-%02d" % index,
              bytes([index, 0x0F, 0x80 | 12, 0x80 | 5, 0x03, 0x8A, 0x00]) +
              struct.pack("<iI", -12345, 0x80098003) + bytes([6]) + b"opened")

    for name, args in (("help", ["--help"]),
                       ("create", ["create"]),
                       ("account", ["account", "3", "--user", "alice", "--password", "pw", "--domain", "D",
                                    "--sid", "S-1-5-21-1-2-3-1001", "--in-use", "0x1"]),
                       ("template", ["template", "3", "7", "--random", "100", "--seed", "5", "--stamp", "9"]),
                       ("template-file", ["template", "0", "19", "--data-file", "x"]),
                       ("clear", ["clear", "9"]),
                       ("dump", ["dump", "--json", "--show-passwords"])):
        write("nvkdb_arguments", name, b"\0".join(a.encode() for a in args))

    for name, args in (("alice", ["--user", "alice", "--password", "secret"]),
                       ("unicode", ["--user", "J\u00fcrgen", "--password", "\U0001F511 key"]),
                       ("malformed", ["--user", "a", "--password", "b", "--size-field", "0x10",
                                      "--user-length", "40", "--truncate", "100", "--no-mask"]),
                       ("too-long", ["--user", "x" * 65, "--password", "y"])):
        write("pwcn_arguments", name, b"\0".join(a.encode() for a in args))
    return 0


if __name__ == "__main__":
    sys.exit(main())
