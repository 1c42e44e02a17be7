#!/usr/bin/env python3
"""Compiles the plugin's own resources into C++ for the Linux library, from the same sources
as the Windows resource script: the string table of resources/Quillerbankton.rc (identifiers
from resources/resource_ids.h), the message table of resources/messages.mc and the icon
groups the script names. The output defines qb::linuxlib::OwnImage(), a sim::ModuleImage.

    make_own_image.py <resources folder> <output .cpp>
"""
import os
import re
import struct
import sys


def read_ids(path):
    ids = {}
    with open(path, encoding="utf-8") as f:
        for line in f:
            m = re.match(r"#define\s+(\w+)\s+(\d+)", line)
            if m:
                ids[m.group(1)] = int(m.group(2))
    return ids


def rc_string(literal):
    """The text of an RC narrow string literal (without its quotes): "" is a quote, and the
    C escapes windres knows."""
    out = []
    i = 0
    escapes = {"r": "\r", "n": "\n", "t": "\t", "\\": "\\", '"': '"', "0": "\0"}
    while i < len(literal):
        c = literal[i]
        if c == '"' and literal[i + 1:i + 2] == '"':
            out.append('"')
            i += 2
        elif c == "\\" and i + 1 < len(literal) and literal[i + 1] in escapes:
            out.append(escapes[literal[i + 1]])
            i += 2
        else:
            out.append(c)
            i += 1
    return "".join(out)


def read_rc(path, ids):
    strings = {}
    icons = []
    in_table = False
    with open(path, encoding="utf-8") as f:
        for raw in f:
            line = raw.strip()
            if line == "STRINGTABLE":
                in_table = True
                continue
            if in_table:
                if line == "END":
                    in_table = False
                    continue
                m = re.match(r'(\w+)\s+"(.*)"$', line)
                if m:
                    if m.group(1) not in ids:
                        raise SystemExit(f"{path}: unknown string identifier {m.group(1)}")
                    strings[ids[m.group(1)]] = rc_string(m.group(2))
                continue
            m = re.match(r'(\w+)\s+ICON\s+"([^"]+)"$', line)
            if m:
                icons.append((m.group(1).upper(), m.group(2)))
    if not strings or not icons:
        raise SystemExit(f"{path}: no string table or no icons found")
    return strings, icons


def read_mc(path):
    """Message texts as the message compiler stores them: every line ends with CR LF."""
    messages = {}
    with open(path, encoding="utf-8") as f:
        lines = f.read().splitlines()
    i = 0
    current = None
    while i < len(lines):
        line = lines[i]
        m = re.match(r"MessageId=(\d+)", line)
        if m:
            current = int(m.group(1))
        elif line.startswith("Language=") and current is not None:
            text = []
            i += 1
            while i < len(lines) and lines[i] != ".":
                text.append(lines[i] + "\r\n")
                i += 1
            messages[current] = "".join(text)
            current = None
        i += 1
    if not messages:
        raise SystemExit(f"{path}: no messages found")
    return messages


def read_ico(path):
    """The images of an .ico file: (width, height, bit count, data) as RT_ICON holds them."""
    with open(path, "rb") as f:
        data = f.read()
    reserved, kind, count = struct.unpack_from("<HHH", data, 0)
    if reserved != 0 or kind != 1 or count == 0:
        raise SystemExit(f"{path}: not an icon file")
    images = []
    for n in range(count):
        w, h, _colours, _res, _planes, bits, size, offset = struct.unpack_from(
            "<BBBBHHII", data, 6 + 16 * n)
        if offset + size > len(data):
            raise SystemExit(f"{path}: image {n} lies past the end of the file")
        images.append((w or 256, h or 256, bits, data[offset:offset + size]))
    return images


def cpp_text(text):
    out = ['u"']
    for ch in text.encode("utf-16-le").decode("utf-16-le"):
        o = ord(ch)
        if ch == "\\":
            out.append("\\\\")
        elif ch == '"':
            out.append('\\"')
        elif o < 0x20 or o == 0x7F:
            out.append("\\%03o" % o)
        elif o < 0x7F:
            out.append(ch)
        elif o > 0xFFFF:
            out.append("\\U%08X" % o)
        else:
            out.append("\\u%04X" % o)
    out.append('"')
    return "".join(out)


def cpp_bytes(name, data):
    rows = []
    for i in range(0, len(data), 20):
        rows.append("    " + ", ".join("0x%02X" % b for b in data[i:i + 20]) + ",")
    return f"constexpr unsigned char {name}[] = {{\n" + "\n".join(rows) + "\n};\n"


def main():
    if len(sys.argv) != 3:
        raise SystemExit("usage: make_own_image.py <resources folder> <output .cpp>")
    res, out = sys.argv[1], sys.argv[2]
    ids = read_ids(os.path.join(res, "resource_ids.h"))
    strings, icons = read_rc(os.path.join(res, "Quillerbankton.rc"), ids)
    messages = read_mc(os.path.join(res, "messages.mc"))

    blobs = []
    groups = []
    for name, file in icons:
        images = []
        for w, h, bits, data in read_ico(os.path.join(res, file)):
            images.append((w, h, bits, f"kImage{len(blobs)}", len(data)))
            blobs.append(cpp_bytes(f"kImage{len(blobs)}", data))
        groups.append((name, images))

    code = [
        "// Made by tools/generate/make_own_image.py from resources/ at build time.",
        '#include "linux/own_image.h"',
        "",
        "#include <cstddef>",
        "",
        "namespace qb::linuxlib {",
        "namespace {",
        "",
    ]
    code += blobs
    code += [
        "sim::IconImage Image(std::uint32_t w, std::uint32_t h, std::uint32_t bits,",
        "                     const unsigned char* data, std::size_t size) {",
        "  sim::IconImage image{w, h, bits, {}};",
        "  image.data.resize(size);",
        "  for (std::size_t i = 0; i < size; ++i) image.data[i] = std::byte{data[i]};",
        "  return image;",
        "}",
        "",
        "}  // namespace",
        "",
        "sim::ModuleImage OwnImage() {",
        "  sim::ModuleImage image;",
        "  image.is64Bit = sizeof(void*) == 8;",
    ]
    for key in sorted(strings):
        code.append(f"  image.strings[{key}] = {cpp_text(strings[key])};")
    for key in sorted(messages):
        code.append(f"  image.messages[{key}] = {cpp_text(messages[key])};")
    for name, images in groups:
        code.append(f"  {{")
        code.append(f"    auto& group = image.iconGroups[{cpp_text(name)}];")
        for w, h, bits, blob, size in images:
            code.append(f"    group.images.push_back(Image({w}, {h}, {bits}, {blob}, {size}));")
        code.append(f"  }}")
    # Named groups are sorted by name in a resource directory.
    for name in sorted(name for name, _ in groups):
        code.append(f"  image.iconGroupOrder.push_back({cpp_text(name)});")
    code += ["  return image;", "}", "", "}  // namespace qb::linuxlib", ""]
    os.makedirs(os.path.dirname(os.path.abspath(out)), exist_ok=True)
    text = "\n".join(code)
    # Unchanged output keeps its time stamp, so nothing rebuilds for nothing.
    if os.path.exists(out):
        with open(out, encoding="utf-8") as f:
            if f.read() == text:
                return
    with open(out, "w", encoding="utf-8") as f:
        f.write(text)


if __name__ == "__main__":
    main()
