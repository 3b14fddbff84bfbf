"""The characters of the program's own texts: every string literal of its C++ sources and every text of its
Qt Designer layouts. The font subset is cut to these, so a new text is covered the moment it is written.

Only what the program can show counts: string literals, not comments; the <string> texts of a layout (its
captions, titles, tool tips and style sheets), not its tags and attribute values."""

import re
import xml.etree.ElementTree as ElementTree

# Every printable ASCII character: digits and signs come and go in composed texts ("正在下载(50%)", paths).
ASCII = "".join(chr(c) for c in range(0x20, 0x7F))

_SIMPLE_ESCAPES = {"n": "\n", "t": "\t", "r": "\r", "0": "\0", "a": "\a", "b": "\b", "f": "\f", "v": "\v",
                   "\\": "\\", "'": "'", '"': '"', "?": "?"}
_IDENTIFIER_TAIL = re.compile(r"[A-Za-z0-9_]")


class Text:
    """One text of the program and where it stands."""

    def __init__(self, value, origin):
        self.value = value
        self.origin = origin

    def __repr__(self):
        return "Text(%r, %r)" % (self.value, self.origin)


def _decode_escapes(body):
    out = []
    i = 0
    while i < len(body):
        c = body[i]
        if c != "\\" or i + 1 == len(body):
            out.append(c)
            i += 1
            continue
        e = body[i + 1]
        if e in ("u", "U"):
            width = 4 if e == "u" else 8
            digits = body[i + 2:i + 2 + width]
            out.append(chr(int(digits, 16)))
            i += 2 + width
        elif e == "x":
            m = re.match(r"[0-9A-Fa-f]+", body[i + 2:])
            digits = m.group(0) if m else ""
            # A byte escape stands for part of an encoded character, not a character of its own.
            i += 2 + len(digits)
        elif e in "01234567":
            m = re.match(r"[0-7]{1,3}", body[i + 1:])
            i += 1 + len(m.group(0))
        else:
            out.append(_SIMPLE_ESCAPES.get(e, e))
            i += 2
    return "".join(out)


def cpp_literals(source, name="<source>"):
    """The string literals of a C++ source, decoded, in order: plain, u8/u/U/L-prefixed and raw ones.
    Comments and character literals are skipped."""
    texts = []
    i = 0
    line = 1
    n = len(source)
    while i < n:
        c = source[i]
        if c == "\n":
            line += 1
            i += 1
        elif source.startswith("//", i):
            end = source.find("\n", i)
            i = n if end < 0 else end
        elif source.startswith("/*", i):
            end = source.find("*/", i + 2)
            end = n if end < 0 else end + 2
            line += source.count("\n", i, end)
            i = end
        elif c == "'":
            # A character literal, or a digit separator (1'000'000) when it follows a digit.
            if i > 0 and source[i - 1].isalnum():
                i += 1
                continue
            j = i + 1
            while j < n and source[j] != "'" and source[j] != "\n":
                j += 2 if source[j] == "\\" else 1
            i = j + 1
        elif c == '"':
            prefix = re.search(r"(u8|u|U|L)?(R)?$", source[max(0, i - 3):i])
            raw = bool(prefix and prefix.group(2))
            before = i - (len(prefix.group(0)) if prefix else 0)
            if prefix and prefix.group(0) and before > 0 and _IDENTIFIER_TAIL.match(source[before - 1]):
                raw = False  # "R" or "u8" closing an identifier, such as FOOBAR"..." in a macro
            start_line = line
            if raw:
                open_paren = source.find("(", i + 1)
                delimiter = source[i + 1:open_paren]
                close = source.find(")" + delimiter + '"', open_paren + 1)
                if open_paren < 0 or close < 0:
                    raise ValueError("%s:%d: unterminated raw string" % (name, line))
                value = source[open_paren + 1:close]
                end = close + len(delimiter) + 2
            else:
                j = i + 1
                while j < n and source[j] != '"':
                    if source[j] == "\n":
                        raise ValueError("%s:%d: unterminated string" % (name, line))
                    j += 2 if source[j] == "\\" else 1
                value = _decode_escapes(source[i + 1:j])
                end = j + 1
            line += source.count("\n", i, end)
            texts.append(Text(value, "%s:%d" % (name, start_line)))
            i = end
        else:
            i += 1
    return texts


def ui_texts(content, name="<layout>"):
    """The texts of a Qt Designer layout: every <string> element."""
    root = ElementTree.fromstring(content)
    texts = []
    for element in root.iter("string"):
        if element.text:
            texts.append(Text(element.text, "%s: <string> of %s" % (name, _owner(root, element))))
    return texts


def _owner(root, element):
    parents = {child: parent for parent in root.iter() for child in parent}
    node = element
    while node in parents:
        node = parents[node]
        if node.tag == "widget" and node.get("name"):
            return node.get("name")
    return "the layout"


def texts_of_files(paths):
    """The texts of every file given: .ui files as layouts, the rest as C++."""
    texts = []
    for path in paths:
        with open(path, encoding="utf-8") as f:
            content = f.read()
        if path.endswith(".ui"):
            texts.extend(ui_texts(content, path))
        else:
            texts.extend(cpp_literals(content, path))
    return texts


def characters(texts):
    """The characters to cover: those of the texts (without control characters) and printable ASCII."""
    chars = set(ASCII)
    for text in texts:
        chars.update(ch for ch in text.value if ord(ch) >= 0x20 and ord(ch) != 0x7F)
    return chars
