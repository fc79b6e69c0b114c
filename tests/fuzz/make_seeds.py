#!/usr/bin/env python3
"""Writes the seed corpora of tests/fuzz/corpus/ from two simulator streams.

usage: make_seeds.py CLEAN.ts DAMAGED.ts
       make_seeds.py --files      (only the file formats: alarm.ini, reserv.ini, plist.lst,
                                   FTP listings, GIF)
(for example from `kobal_mkstream --seconds 3 clean.ts` and one with `--lose 20 --scrambled 10
--oversized-af 10`). Seeds stay small: libFuzzer mutates short inputs best.
"""
import os
import struct
import sys
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))


def crc32_mpeg(data):
    crc = 0xFFFFFFFF
    for b in data:
        crc ^= b << 24
        for _ in range(8):
            crc = ((crc << 1) ^ 0x04C11DB7) & 0xFFFFFFFF if crc & 0x80000000 else (crc << 1) & 0xFFFFFFFF
    return crc


def packets(ts):
    for at in range(0, len(ts) - 187, 188):
        p = ts[at:at + 188]
        if p[0] == 0x47:
            yield p


def payload(p):
    afc = (p[3] >> 4) & 3
    if afc in (0, 2):
        return b""
    at = 4
    if afc == 3:
        at += 1 + p[4]
    return p[at:] if at < 188 else b""


def pid(p):
    return (p[1] & 0x1F) << 8 | p[2]


def start(p):
    return bool(p[1] & 0x40)


def write(target, name, data):
    folder = os.path.join(HERE, "corpus", target)
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, name), "wb") as f:
        f.write(data)


def pmt_pids(ts):
    for p in packets(ts):
        if pid(p) == 0x1FC8 and start(p):
            pl = payload(p)
            sec = pl[1 + pl[0]:]
            length = (sec[1] & 0x0F) << 8 | sec[2]
            info = (sec[10] & 0x0F) << 8 | sec[11]
            at, end, found = 12 + info, 3 + length - 4, {}
            while at + 5 <= end:
                found.setdefault(sec[at], (sec[at + 1] & 0x1F) << 8 | sec[at + 2])
                at += 5 + ((sec[at + 3] & 0x0F) << 8 | sec[at + 4])
            return found
    return {}


def utf16z(text):
    return text.encode("utf-16-le") + b"\0\0"


def file_seeds():
    # alarm.ini: the count as UTF-16 text in 10 bytes, then 92-byte records.
    def alarms(records):
        out = str(len(records)).encode("utf-16-le").ljust(10, b"\0")
        for name, slot, time, repeat in records:
            out += name.encode("utf-16-le").ljust(80, b"\0") + struct.pack("<iii", slot, time, repeat)
        return out
    write("alarm_ini", "two", alarms([("ＮＨＫ総合", 14, 1765339200, 0), ("MX", 20, 1765342800, 1)]))

    # reserv.ini: count, then start, end, name, title, repeat, slot, memo, id per record.
    def reservations(records):
        out = struct.pack("<i", len(records))
        for start, end, name, title, repeat, slot, memo, rid in records:
            out += struct.pack("<ii", start, end)
            for text in (name, title):
                out += struct.pack("<i", len(utf16z(text))) + utf16z(text)
            out += struct.pack("<ii", repeat, slot)
            out += struct.pack("<i", len(utf16z(memo))) + utf16z(memo) + struct.pack("<i", rid)
        return out
    write("reserv_ini", "two", reservations([
        (1765339200, 1765342800, "ＮＨＫ総合", "ニュース７", 101, 14, "", 1),
        (1765350000, 1765351800, "MX", "天気", 103, -1, "memo", 2)]))

    write("ftp_listing", "unix",
          b"drwxr-xr-x   2 ftp ftp 4096 Dec 10 05:00 .\r\n"
          b"drwxr-xr-x   2 ftp ftp 4096 Dec 10 05:00 1.0.1\r\n"
          b"-rw-r--r--   1 ftp ftp 123456 Dec 10 05:00 kobal_player\r\n"
          b"lrwxrwxrwx   1 ftp ftp 5 Jan  1  2026 latest -> 1.0.1\r\n")
    write("ftp_listing", "dos",
          b"12-10-26  05:00AM       <DIR>          1.0.1\r\n"
          b"12-10-26  05:00AM               123456 kobal_update\r\n")

    write("playlist", "three", "/home/user/ビデオ/Kobal/a.rec\n/tmp/b.rec\r\n/tmp/c.rec\ntail".encode())

    # GIF: two one-pixel frames with delays and disposals, and the skin's own animation.
    def frame(delay, disposal):
        gce = b"\x21\xf9\x04" + bytes([disposal << 2]) + struct.pack("<H", delay) + b"\x00\x00"
        return gce + b"\x2c" + struct.pack("<HHHH", 0, 0, 1, 1) + b"\x00" + b"\x02\x02\x44\x01\x00"
    gif = (b"GIF89a" + struct.pack("<HH", 1, 1) + b"\x80\x00\x00" + b"\x00\x00\x00\xff\xff\xff"
           + frame(3, 2) + frame(50, 3) + b"\x3b")
    write("gif", "two-frames.gif", gif)
    write("gif", "skin-502.gif", open(os.path.join(HERE, "../../resources/skin/502.gif"), "rb").read())


def main():
    if sys.argv[1:] == ["--files"]:
        file_seeds()
        return
    clean = open(sys.argv[1], "rb").read()
    damaged = open(sys.argv[2], "rb").read()
    streams = pmt_pids(clean)
    caption_pid, video_pid = streams.get(0x06), streams.get(0x1B)

    # The transport stream path and the replay scan: the start of each stream.
    write("ts_path", "sim-start.ts", clean[:188 * 120])
    write("ts_path", "sim-damaged.ts", damaged[:188 * 120])
    write("replay_sdt", "sim-start.ts", clean[:188 * 40])

    sdt, eit, cap, si = [], [], [], []
    for p in packets(clean):
        pl = payload(p)
        if pid(p) == 0x11 and start(p):
            sdt.append(pl)
        if pid(p) == 0x27:
            eit.append((start(p), pl))
        if pid(p) == caption_pid and start(p):
            cap.append(pl)
    write("sdt_name", "sim-sdt", sdt[0])
    # EIT: the sections of the first second, whole.
    section = b"".join(pl[1 + pl[0]:] if s else pl for s, pl in eit[:12])
    write("eit_section", "sim-eit", section[:4096])
    for i, pl in enumerate(cap[:3]):
        write("caption_pes", "sim-caption-%d" % i, pl)
    # The SI reader: SDT, EIT and caption packets in their order (kind, length, payload).
    for p in packets(clean[:188 * 2000]):
        kind = {0x11: 0, 0x27: 1}.get(pid(p), 2 if pid(p) == caption_pid else None)
        if kind is None or (kind != 1 and not start(p)):
            continue
        pl = payload(p)
        si.append(bytes([kind | (0x80 if start(p) else 0), len(pl)]) + pl)
    write("si_reader", "sim-si", b"".join(si[:24]))

    # ARIB text, one per flavour (first byte), from broadcasts' service names and titles.
    write("arib_text", "title", b"\x00\x0e\x4e\x48\x4b\x1d\x4b\x1d\x65\xf9\x1d\x39\x37\x0f\x1b\x24\x3b\x7a\x5a")
    write("arib_text", "description", b"\x01\x1d\x40\xf9\x1b\x6f\x26\x23\x73\xac\x0f\x4d\x68\x20\x0d\x21\x2a")
    write("arib_text", "service", b"\x02\x1b\x7e\xcd\xd8\x1b\x7c\xef\xf3\xbb\xb0\x1b\x7e\xb1")
    # EUC-JP caption text: kana, kanji, ASCII and a row-85 symbol.
    write("euc_jp", "text", b"\x00" + "ニュース７ 東京 abc".encode("euc_jp") + b"\xf5\xa1")

    # ".chl": two records.
    def chl(records):
        out = "".join(str(len(records))).encode("utf-16-le").ljust(10, b"\0")
        for slot, name, flag in records:
            out += struct.pack("<i", slot) + name.encode("utf-16-le").ljust(100, b"\0") + struct.pack("<i", flag)
        return out
    write("chl_file", "two", chl([(14, "ＮＨＫ総合", 1), (15, "MX", 0)]))

    write("ini_profile", "config", b"SETUP=VOLUME\n[SETUP]\nVOLUME=-1200\nMUTE=0\n[DMBControl]\nCurrentChannel=27000\n")

    # Link records: the config blocks, then a video and an audio frame.
    units, cur = [], b""
    for p in packets(clean):
        if pid(p) == video_pid:
            if start(p) and cur:
                units.append(cur)
                cur = b""
            cur += payload(p)
        if len(units) >= 2:
            break
    idr = units[0]
    es = idr[9 + idr[8]:]
    header = lambda t, n: struct.pack("<10I", t, n, 0, 0, 90000, 0, 0, 0, 0, 0)
    records = [struct.pack("<II", 0x101, 64) + es[:64].ljust(1016, b"\0"),
               struct.pack("<II", 0x102, 7) + b"\xff\xf1\x50\x80\x02\x1f\xfc".ljust(1016, b"\0"),
               header(0x103, len(es[:4000])) + es[:4000],
               struct.pack("<III", 0x109, 0, 2)]
    write("link_records", "sim-records", b"".join(struct.pack("<H", len(r)) + r for r in records))
    file_seeds()


if __name__ == "__main__":
    main()
