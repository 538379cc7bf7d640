#!/usr/bin/env python3
"""Writes the 16-dot bitmap fonts the tools carry, from Debian's packages:

  font/refs/gothic.bin   Shinonome 16-dot gothic  (xfonts-shinonome, shnmk16)
  font/refs/bold.bin     Shinonome 16-dot bold    (xfonts-shinonome, shnmk16b)
  font/refs/jiskan.bin   jiskan16, JIS X 0208:1990 (xfonts-intl-japanese, j90-16)
  sample/mincho.bin      Shinonome 16-dot mincho  (xfonts-shinonome,
                         shnmk16min), only the sample grids' characters

The three references are what msgdump --suggest matches a game's glyphs
against: JIS X 0208's non-kanji (rows 1-8) and level-1 kanji (rows 16-47).
The sample's font is another design, so that the sample's suggestions are
honest.  Every file is a run of 34-byte records in ascending code order: the
character's Shift-JIS code (big-endian), then its 16 x 16 bitmap as 16 rows of
2 bytes, bit 7 of a row's first byte its leftmost pixel.  Blank glyphs (the
ideographic space) are left out.

The fonts are read with pcf2bdf (Debian's package of that name); the output
depends on nothing else, so running it again gives the same bytes.
Usage: tools/mkfonts.py [FONTDIR]   (FONTDIR: /usr/share/fonts/X11/misc)
"""
import os
import subprocess
import sys

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))


def jis_to_sjis(row, cell):
    """The Shift-JIS bytes of JIS X 0208 row (ku) and cell (ten), 1-based."""
    lead = (row + 0x21) // 2 + (0x70 if row <= 62 else 0xB0)
    if row % 2:
        trail = cell + (0x3F if cell <= 63 else 0x40)
    else:
        trail = cell + 0x9E
    return bytes([lead, trail])


def read_bdf(path):
    """{JIS code: 32-byte bitmap} of a 16-dot BDF font."""
    text = subprocess.run(["pcf2bdf", path], check=True, capture_output=True,
                          env={"PATH": os.environ.get("PATH", "/usr/bin")}
                          ).stdout.decode("latin-1").splitlines()
    ascent = 14
    for line in text:
        if line.startswith("FONT_ASCENT "):
            ascent = int(line.split()[1])
    glyphs = {}
    i = 0
    while i < len(text):
        if not text[i].startswith("STARTCHAR"):
            i += 1
            continue
        code = None
        bbx = None
        while not text[i].startswith("BITMAP"):
            words = text[i].split()
            if words[0] == "ENCODING":
                code = int(words[1])
            elif words[0] == "BBX":
                bbx = [int(w) for w in words[1:5]]
            i += 1
        i += 1
        w, h, xoff, yoff = bbx
        rows = []
        while not text[i].startswith("ENDCHAR"):
            rows.append(int(text[i], 16))
            i += 1
        nbits = ((w + 7) // 8) * 8
        grid = [0] * 16
        top = ascent - (yoff + h)
        for r, bits in enumerate(rows):
            y = top + r
            if not 0 <= y < 16:
                continue
            for x in range(w):
                if bits >> (nbits - 1 - x) & 1 and 0 <= x + xoff < 16:
                    grid[y] |= 0x8000 >> (x + xoff)
        glyphs[code] = b"".join(v.to_bytes(2, "big") for v in grid)
    return glyphs


def codes_of_rows(rows):
    """The Shift-JIS codes of the JIS X 0208 rows that CP932 reads."""
    out = []
    for row in rows:
        for cell in range(1, 95):
            sjis = jis_to_sjis(row, cell)
            try:
                sjis.decode("cp932")
            except UnicodeDecodeError:
                continue
            out.append(((row + 0x20) << 8 | (cell + 0x20), sjis))
    return out


def write(path, glyphs, codes):
    """Writes the records of codes that have an inked glyph; their count."""
    records = bytearray()
    n = 0
    for jis, sjis in sorted(codes, key=lambda c: c[1]):
        bitmap = glyphs.get(jis)
        if bitmap is None or not any(bitmap):
            continue
        records += sjis + bitmap
        n += 1
    with open(path, "wb") as f:
        f.write(records)
    return n


def grid_codes():
    """The double-byte codes of the sample grids, as (JIS, Shift-JIS)."""
    jis = {jis_to_sjis(r, c): (r + 0x20) << 8 | (c + 0x20)
           for r in range(1, 95) for c in range(1, 95)}
    codes = set()
    for name in ("zol_00.txt", "zol_01.txt"):
        with open(os.path.join(ROOT, "sample", name), "rb") as f:
            data = f.read().replace(b"\r", b"").replace(b"\n", b"")
        for k in range(0, len(data), 2):
            codes.add((jis[data[k:k + 2]], data[k:k + 2]))
    return sorted(codes)


def main():
    fonts = sys.argv[1] if len(sys.argv) > 1 else "/usr/share/fonts/X11/misc"
    rows = list(range(1, 9)) + list(range(16, 48))
    refs = codes_of_rows(rows)
    for name, pcf in (("gothic", "shnmk16"), ("bold", "shnmk16b"),
                      ("jiskan", "j90-16")):
        glyphs = read_bdf(os.path.join(fonts, pcf + ".pcf.gz"))
        n = write(os.path.join(ROOT, "font", "refs", name + ".bin"), glyphs,
                  refs)
        print("font/refs/%s.bin: %d glyphs" % (name, n))
    glyphs = read_bdf(os.path.join(fonts, "shnmk16min.pcf.gz"))
    n = write(os.path.join(ROOT, "sample", "mincho.bin"), glyphs, grid_codes())
    print("sample/mincho.bin: %d glyphs" % n)


if __name__ == "__main__":
    main()
