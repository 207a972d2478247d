#!/usr/bin/env python3
# Writes the seed corpora of the fuzz targets (fuzz/corpus/<target>/): small inputs of each reader's real formats.
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))


def crc8(data):
    crc = 0
    for b in data:
        crc ^= b
        for _ in range(8):
            crc = (crc >> 1) ^ 0x8C if crc & 1 else crc >> 1
    return crc


def frame(payload):
    return bytes([0xD5, len(payload)]) + bytes(payload) + bytes([crc8(payload)])


def write(target, name, data):
    folder = os.path.join(HERE, "corpus", target)
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, name), "wb") as f:
        f.write(data if isinstance(data, bytes) else data.encode())


START = ("M104 S215 T0\nM109 S105 T0\nG21\nG90\nM17\nM6 T0\nG162 Z F1000\nG161 X Y F2500\nM103\n"
         "G92 X-75 Y-75 Z120.0 A0 B0\n")
MOVES = ("G1 X10.5 Y-3.25 Z0.3 F1800.0\nG1 X12.0 Y-3.0 Z0.3 F1800.0 A0.125\nG1 X12.0 Y4.0 Z0.3 F1200 A0.5\n"
         "M101\nG1 X0 Y0 Z0.6 F900 A1.0 B0\nM103\nG4 P200\nM73 P50\nM18\nM1\n")
for target in ("fuzz_gcode_line", "fuzz_gcode_file"):
    write(target, "start_and_moves.gcode", START + MOVES)
    write(target, "comments_crlf.gcode", "(sliced) G21\r\nG90 (absolute)\r\nG1 X1 Y2 Z3 F600 (first move)\r\n; end\r\n")
    write(target, "homing_temperatures.gcode", "G28\nG161 X Y F2500\nG162 Z F1000\nM104 S230 T0\nM109 S110 T0\n"
                                                "M105\nM108 R3.0\nM6 T0\nG92 X0 Y0 Z0 A0 B0\n")

for name, text in (("decimal", "12.5"), ("negative", "-0.001"), ("exponent", "1e3"), ("hex", "0x1p3"),
                   ("infinity", "inf"), ("beyond_int", "2147483648"), ("signed_space", " +7"),
                   ("long", "123456789012345678901234567890.5")):
    write("fuzz_scan_numbers", name, text)

# The frame target's last byte picks the mode (odd: valid frames only), the
# one before it the outstanding platform query, then the count of cut bytes.
ACK = frame([0x81])
TEMPERATURE = frame([0x81, 0xD7, 0x00])
VERSION = frame([0x81, 0xBE, 0x02])
FINISHED = frame([0x81, 0x01])
POSITION = frame([0x81] + list(struct.pack("<iiiii", 100, -200, 7170, 0, 0)) + [0x1F, 0])
cuts = bytes([3, 0x85, 1, 12])
write("fuzz_s3g_frames", "replies", cuts + ACK + TEMPERATURE + VERSION + FINISHED + POSITION + bytes([4, 0, 0]))
write("fuzz_s3g_frames", "noise_and_bad_crc", cuts + b"\x00\xD5\x40\xD5\x01\x81\x00" + ACK + b"\xD5" + TEMPERATURE
      + bytes([4, 1, 0]))
write("fuzz_s3g_frames", "valid_frames", bytes([0, 1, 0x81, 7, 2, 0x81, 0xD5, 9, 25]) + bytes(range(25)) + bytes([1]))

TRIANGLES = [((0, 0, -1), (0, 0, 0), (10, 0, 0), (0, 10, 0)), ((0, -1, 0), (0, 0, 0), (0, 0, 10), (10, 0, 0))]
ascii_stl = "solid part\n" + "".join(
    "  facet normal %g %g %g\n    outer loop\n%s    endloop\n  endfacet\n"
    % (n + ("".join("      vertex %g %g %g\n" % v for v in vs),))
    for (n, *vs) in TRIANGLES) + "endsolid part\n"
binary_stl = (b"binary part".ljust(80, b" ") + struct.pack("<I", len(TRIANGLES))
              + b"".join(struct.pack("<12fH", *n, *[c for v in vs for c in v], 0) for (n, *vs) in TRIANGLES))
solid_binary = b"solid but binary".ljust(80, b" ") + binary_stl[80:]
NO_FAILURE = b"\xff\xff"  # the failing read offset, taken from the end
write("fuzz_stl", "ascii.stl", ascii_stl.encode() + NO_FAILURE)
write("fuzz_stl", "binary.stl", binary_stl + NO_FAILURE)
write("fuzz_stl", "solid_header_binary.stl", solid_binary + NO_FAILURE)
write("fuzz_stl", "binary_read_fails.stl", binary_stl + b"\x64\x00")

write("fuzz_language_xml", "language.xml",
      '<?xml version="1.0" encoding="UTF-8"?>\n<language name="English">\n'
      '  <text key="id_button_viewTop">Top</text>\n  <text key="id_static_gcodeInfill">Infill:</text>\n'
      '  <text key="id_empty"></text>\n  <text>no key</text>\n</language>\n')
write("fuzz_language_xml", "entities.xml", '<language name="Fran&#231;ais"><text key="a&amp;b">&lt;1&gt; &#x4E2D;</text>'
      '<text key="a&amp;b">again</text></language>')
write("fuzz_language_xml", "long_and_not_utf8.xml",
      b'<language name="x"><text key="long">' + ("\u4e2d" * 1001).encode() + b'</text>'
      b'<text key="bad">\xc3\x28</text></language>')

# The INI target takes the written entry and value from the last two bytes.
write("fuzz_ini", "profile.ini", "[Multi-language]\nlanguage=2\n\n; the build platform in mm\n[Machine]\n"
      "PlatformX = 225\nPlatformY=145.5\nPlatformZ=+150\n\x01\x02")
write("fuzz_ini", "bom_and_duplicates.ini", b"\xef\xbb\xbf" + b"noise\n[Print]\nSpeed=1e3\nspeed=12\n[machine]\nplatformx=abc\n\x04\x03")
