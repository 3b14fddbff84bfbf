"""Cuts the font the program brings: the glyphs of the program's own texts, taken from an installed CJK font
with fonttools and renamed to a family of the program's own.

Usage: subset_font.py --font FILE [--face NAME] --family NAME --output FILE [--list FILE]
                      [--line ASCENT DESCENT] SOURCE...

SOURCE are the C++ sources and Qt Designer layouts whose texts the subset must cover. The cut fails, naming
the character and the texts it stands in, when the font has no glyph for a character of those texts, and
when the subset written lacks one."""

import argparse
import os
import sys

from fontTools import subset
from fontTools.ttLib import TTCollection, TTFont

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import program_texts  # noqa: E402

# Name records rewritten for the subset: family, subfamily-bound names, unique id, full and PostScript names.
_RENAMED = (1, 3, 4, 6, 16, 17, 21, 22)


def open_face(path, face):
    """The font of a file; in a collection, the face whose family name is `face`."""
    if not path.lower().endswith((".ttc", ".otc")):
        return TTFont(path)
    collection = TTCollection(path)
    for index, font in enumerate(collection.fonts):
        if font["name"].getDebugName(1) == face:
            return TTFont(path, fontNumber=index)
    names = [font["name"].getDebugName(1) for font in collection.fonts]
    raise SystemExit("%s has no face \"%s\" (it has: %s)" % (path, face, ", ".join(names)))


def missing_characters(font, chars):
    cmap = font.getBestCmap()
    return sorted(c for c in chars if ord(c) not in cmap)


def describe(missing, texts):
    lines = []
    for c in missing:
        where = [t.origin for t in texts if c in t.value]
        lines.append("  U+%04X %s  in %s" % (ord(c), c, "; ".join(where[:3]) or "the ASCII range"))
    return "\n".join(lines)


def rename(font, family):
    """Gives the subset a family name of its own, so that it is never taken for the whole installed font."""
    postscript = family.replace(" ", "") + "-Regular"
    names = font["name"]
    names.names = [record for record in names.names if record.nameID not in _RENAMED]
    for name_id, value in ((1, family), (3, "%s;subset" % postscript), (4, family), (6, postscript)):
        names.setName(value, name_id, 3, 1, 0x409)
    if "CFF " in font:
        cff = font["CFF "].cff
        cff.fontNames = [postscript]
        top = cff.topDictIndex[0]
        top.FamilyName = family
        top.FullName = family


def set_line_metrics(font, ascent, descent):
    """Sets the lines' ascent and descent (in em) in every table that a text engine may take them from."""
    units = font["head"].unitsPerEm
    up = round(ascent * units)
    down = round(descent * units)
    hhea = font["hhea"]
    hhea.ascent, hhea.descent, hhea.lineGap = up, -down, 0
    os2 = font["OS/2"]
    os2.sTypoAscender, os2.sTypoDescender, os2.sTypoLineGap = up, -down, 0
    os2.usWinAscent, os2.usWinDescent = up, down


def main(argv=None):
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--font", required=True)
    parser.add_argument("--face", default="Noto Sans CJK SC")
    parser.add_argument("--family", required=True)
    parser.add_argument("--output", required=True)
    parser.add_argument("--list", help="also write the characters covered, one line of text")
    parser.add_argument("--line", nargs=2, type=float, metavar=("ASCENT", "DESCENT"),
                        help="the lines' ascent and descent in em, in place of the font's own")
    parser.add_argument("sources", nargs="+")
    args = parser.parse_args(argv)

    texts = program_texts.texts_of_files(args.sources)
    chars = program_texts.characters(texts)
    font = open_face(args.font, args.face)
    missing = missing_characters(font, chars)
    if missing:
        sys.stderr.write("%s (%s) has no glyph for these characters of the program's texts:\n%s\n" % (
            args.font, args.face, describe(missing, texts)))
        return 1

    options = subset.Options()
    options.name_IDs = ["*"]
    options.notdef_outline = True
    # The windows write horizontally only: no vertical metrics or forms.
    options.drop_tables += ["VORG", "vhea", "vmtx", "BASE"]
    # The program writes Simplified Chinese: the face's own forms, without the other regions' (locl).
    dropped = ("vert", "vrt2", "valt", "vpal", "vkrn", "locl")
    options.layout_features = [f for f in options.layout_features if f not in dropped]
    subsetter = subset.Subsetter(options)
    subsetter.populate(unicodes=[ord(c) for c in chars])
    subsetter.subset(font)
    rename(font, args.family)
    if args.line:
        set_line_metrics(font, *args.line)
    temporary = args.output + ".part"
    font.save(temporary)

    cut = TTFont(temporary)
    still_missing = missing_characters(cut, chars)
    if still_missing or cut["name"].getDebugName(1) != args.family:
        os.remove(temporary)
        sys.stderr.write("the subset written lacks:\n%s\n" % describe(still_missing, texts))
        return 1
    os.replace(temporary, args.output)
    if args.list:
        with open(args.list, "w", encoding="utf-8") as f:
            f.write("".join(sorted(chars)) + "\n")
    print("%s: %d characters, %d glyphs, %d bytes" % (
        args.output, len(chars), len(cut.getGlyphOrder()), os.path.getsize(args.output)))
    return 0


if __name__ == "__main__":
    sys.exit(main())
