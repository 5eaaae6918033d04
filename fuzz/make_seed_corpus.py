#!/usr/bin/env python3
"""Writes the seed corpora of the fuzz targets into DEST/<target>/.

    fuzz/make_seed_corpus.py DEST [PHOTOS]

PHOTOS is the folder of the fetched camera photos (make photos; default build/test-photos). Seeds:
small photos made here in every layout the loader accepts, the camera JPEGs up to 256 KiB, their
EXIF records, the shipped profile and localisation files with damaged variants, and sample command
lines. Run again, it rewrites the same files.
"""
import pathlib
import struct
import sys
import zlib

ROOT = pathlib.Path(__file__).resolve().parent.parent
MAX_PHOTO_SEED = 256 * 1024


def png(width, height, bit_depth, colour_type, channels):
    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(
            ">I", zlib.crc32(kind + data) & 0xFFFFFFFF)
    sample_bytes = bit_depth // 8
    rows = b"".join(b"\0" + bytes((x * 7 + y * 13 + c) & 0xFF
                                  for x in range(width) for c in range(channels * sample_bytes))
                    for y in range(height))
    header = struct.pack(">IIBBBBB", width, height, bit_depth, colour_type, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", zlib.compress(rows))
            + chunk(b"IEND", b""))


def bmp(width, height):
    row = bytes((x * 5 + c) & 0xFF for x in range(width) for c in range(3))
    row += b"\0" * ((4 - len(row) % 4) % 4)
    pixels = row * height
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0, len(pixels), 2835, 2835, 0, 0)
    return b"BM" + struct.pack("<IHHI", 14 + len(info) + len(pixels), 0, 0, 54) + info + pixels


def ppm(width, height):
    return b"P6\n%d %d\n255\n" % (width, height) + bytes(
        (i * 3) & 0xFF for i in range(width * height * 3))


def exif_record(jpeg):
    """The payload of the first APP1 "Exif" segment, without its "Exif\\0\\0" mark."""
    at = 2
    while at + 4 <= len(jpeg) and jpeg[at] == 0xFF:
        marker, length = jpeg[at + 1], struct.unpack(">H", jpeg[at + 2:at + 4])[0]
        segment = jpeg[at + 4:at + 2 + length]
        if marker == 0xE1 and segment.startswith(b"Exif\0\0"):
            return segment[6:]
        if marker == 0xDA:
            break
        at += 2 + length
    return None


def write(folder, name, data):
    folder.mkdir(parents=True, exist_ok=True)
    (folder / name).write_bytes(data)


def main():
    if len(sys.argv) not in (2, 3):
        sys.exit(__doc__)
    dest = pathlib.Path(sys.argv[1])
    photos = pathlib.Path(sys.argv[2]) if len(sys.argv) == 3 else ROOT / "build" / "test-photos"

    open_photo = dest / "open_photo_fuzzer"
    write(open_photo, "grey8.png", png(17, 9, 8, 0, 1))
    write(open_photo, "rgb8.png", png(16, 16, 8, 2, 3))
    write(open_photo, "rgba16.png", png(8, 5, 16, 6, 4))
    write(open_photo, "rgb24.bmp", bmp(13, 7))
    write(open_photo, "rgb.ppm", ppm(9, 9))
    exif = dest / "exif_summary_fuzzer"
    for photo in sorted(photos.glob("*.jpg")):
        data = photo.read_bytes()
        if len(data) <= MAX_PHOTO_SEED:
            write(open_photo, photo.name, data)
        record = exif_record(data)
        if record:
            write(exif, photo.stem + ".exif", record)
    write(exif, "empty-tiff-header.exif", b"II*\0\x08\0\0\0\0\0")

    profiles = dest / "profile_file_fuzzer"
    shipped = (ROOT / "resources" / "CameraISOSettingX.ini").read_bytes()
    write(profiles, "shipped.ini", shipped)
    write(profiles, "half.ini", shipped[:len(shipped) // 2])
    write(profiles, "counts.ini", b"[General]\r\nNo Of Cameras = 3\r\n[Camera_1]\r\n"
          b"m_wcsCameraName = \xff\xfeCam\r\nm_uiISOCount = 99999\r\nISO0 = -5\r\n")

    ini = dest / "private_profile_fuzzer"
    write(ini, "localisation.ini", (ROOT / "resources" / "Stillgrain_loc.ini").read_bytes())
    write(ini, "settings.ini", b"[General]\r\nHW Accel=1\r\njpeg=\"85\"\r\nLatest Folder=/x\r\n"
          b"Max Megapixels=400\r\n")
    write(ini, "language.ini", b"\xef\xbb\xbf[General]\nLanguages No=2\nLanguage Current=1\n"
          b"[1]\nLanguage=Deutsch\nAcronym=DE\nstring1=Datei\nstring30=\xc3\x28\n")

    options = dest / "option_parser_fuzzer"
    for index, arguments in enumerate([
            ["photo.jpg", "-o", "out.png", "--strength", "12.5", "--quality", "2"],
            ["--profile=auto", "--jpeg-quality", "90", "--", "-odd.jpg"],
            ["--gpu", "--fusion", "--threads", "4", "--median", "2", "--sharpen", "1,1.2,1", "p.tif"],
            ["--help"], ["--strength"]]):
        write(options, "args%d" % index, "\0".join(arguments).encode())

if __name__ == "__main__":
    main()
