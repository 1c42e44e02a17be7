#!/usr/bin/env python3
"""Checks the resources of a built plugin library byte by byte: the string table, the message
table of the plugin's own event source (8-bit entries, flags 0), the version record and the
icon groups (names, order, image sizes and depths, each image's bitmap header and length).

    tests/dll/check-resources.py <dll> <expected original file name>

The resource compiler is the likeliest place for texts to go wrong (code pages, line ends),
so the texts are compared as Windows will read them.
"""
import struct
import sys

RT_ICON = 3
RT_STRING = 6
RT_MESSAGETABLE = 11
RT_GROUP_ICON = 14
RT_VERSION = 16

EXPECTED_STRINGS = {
    65168: "EventMessageFile",
    65169: "CategoryCount",
    65170: "TypesSupported",
    65171: "Операция не может быть успешно выполненна в данный момент.\r\n"
           "Для выполнения операции менеджер событий должен быть открыт в режиме \"%s\"",
    65172: "Не задана функция обратного вызова.",
    65173: "Для выполнения операций в режиме osNotify, используйте методы "
           "RegisterChangeNotify/DeRegisterChangeNotify.",
    65174: "Для выполнения повторной регистрации на событие оповещения, необходимо снять "
           "предыдущую регистрацию при помощи DeRegisterChangeNotify.",
    65175: "Ошибка потока ожидания оповещений. Код ошибки %d, описание \"%s\"",
    65176: "Ошибка преобразования типов",
    65199: "CategoryMessageFile",
}

# Message table: identifier 1, language 1033, entries 0 and 1 as 8-bit text.
EXPECTED_MESSAGES = {0: b"%1\r\n", 1: b"Default\r\n"}

# Icon groups by name, in resource directory order: the first is the library's own icon. Each
# image as (size, bits per pixel), in the group's order; the size is a number for square images,
# else (width, height).
EVENT_TYPE_ICON = [(16, 4), (16, 8), (16, 32)]
ARROW_ICON = [((9, 11), 4), ((9, 11), 8), ((9, 11), 32), ((18, 22), 32)]
EXPECTED_ICON_GROUPS = [
    ("AMAINICON", [(32, 8), (24, 8), (16, 8), (32, 32), (24, 32), (16, 32)]),
    ("ARROWDOWN", ARROW_ICON),
    ("ARROWUP", ARROW_ICON),
    ("AUDIT_FAILED", EVENT_TYPE_ICON),
    ("AUDIT_SUCCESS", EVENT_TYPE_ICON),
    ("COPYPAGES", [((16, 13), 4), ((16, 13), 8), ((16, 13), 32), ((32, 26), 32)]),
    ("CRITICAL", EVENT_TYPE_ICON),
    ("ERROR", EVENT_TYPE_ICON),
    ("INFORMATION", EVENT_TYPE_ICON),
    ("VERBOSE", EVENT_TYPE_ICON),
    ("WARNING", EVENT_TYPE_ICON),
]

EXPECTED_VERSION = {
    "FileDescription": "Quillerbankton event log file-system plugin",
    "ProductName": "Quillerbankton",
}


class Image:
    def __init__(self, data):
        self.data = data
        if data[:2] != b"MZ":
            raise ValueError("not an MZ image")
        pe = struct.unpack_from("<I", data, 0x3C)[0]
        if data[pe:pe + 4] != b"PE\0\0":
            raise ValueError("no PE signature")
        sections, optional_size = struct.unpack_from("<H12xH", data, pe + 6)
        optional = pe + 24
        magic = struct.unpack_from("<H", data, optional)[0]
        directories = optional + (96 if magic == 0x10B else 112)
        self.rsrc_rva, self.rsrc_size = struct.unpack_from("<II", data, directories + 2 * 8)
        table = optional + optional_size
        self.sections = []
        for i in range(sections):
            _, vsize, vaddr, rawsize, rawptr = struct.unpack_from("<8sIIII", data, table + 40 * i)
            self.sections.append((vaddr, max(vsize, rawsize), rawptr))

    def offset(self, rva):
        for vaddr, size, rawptr in self.sections:
            if vaddr <= rva < vaddr + size:
                return rawptr + rva - vaddr
        raise ValueError("RVA %#x outside every section" % rva)

    def directory(self, offset):
        """Entries of one resource directory: (id or name, is_subdirectory, offset)."""
        base = self.offset(self.rsrc_rva)
        named, ids = struct.unpack_from("<12xHH", self.data, base + offset)
        entries = []
        for i in range(named + ids):
            name, target = struct.unpack_from("<II", self.data, base + offset + 16 + 8 * i)
            if name & 0x80000000:
                at = base + (name & 0x7FFFFFFF)
                length = struct.unpack_from("<H", self.data, at)[0]
                name = self.data[at + 2:at + 2 + 2 * length].decode("utf-16-le")
            entries.append((name, bool(target & 0x80000000), target & 0x7FFFFFFF))
        return entries

    def resources(self, type_id):
        """{(name, language): bytes} for every resource of one type."""
        base = self.offset(self.rsrc_rva)
        found = {}
        for type_name, _, type_offset in self.directory(0):
            if type_name != type_id:
                continue
            for name, _, name_offset in self.directory(type_offset):
                for language, _, entry in self.directory(name_offset):
                    rva, size = struct.unpack_from("<II", self.data, base + entry)
                    at = self.offset(rva)
                    found[(name, language)] = self.data[at:at + size]
        return found


def string_table(image):
    strings = {}
    for (block, language), data in image.resources(RT_STRING).items():
        at = 0
        for index in range(16):
            length = struct.unpack_from("<H", data, at)[0]
            text = data[at + 2:at + 2 + 2 * length].decode("utf-16-le")
            at += 2 + 2 * length
            if length:
                strings[((block - 1) << 4) + index] = (text, language)
    return strings


def message_table(image):
    tables = image.resources(RT_MESSAGETABLE)
    result = {}
    for key, data in tables.items():
        entries = {}
        count = struct.unpack_from("<I", data, 0)[0]
        for block in range(count):
            low, high, at = struct.unpack_from("<III", data, 4 + 12 * block)
            for message in range(low, high + 1):
                length, flags = struct.unpack_from("<HH", data, at)
                entries[message] = (flags, data[at + 4:at + length])
                at += length
        result[key] = entries
    return result


def icon_group_order(image):
    """Names of the icon groups in resource directory order."""
    for type_name, _, type_offset in image.directory(0):
        if type_name == RT_GROUP_ICON:
            return [name for name, _, _ in image.directory(type_offset)]
    return []


def icon_problems(image):
    """What is wrong with the icon groups, as a list of messages."""
    problems = []
    order = icon_group_order(image)
    expected_order = [name for name, _ in EXPECTED_ICON_GROUPS]
    if order != expected_order:
        problems.append("icon groups %r, expected %r" % (order, expected_order))
    groups = {name: data for (name, _), data in image.resources(RT_GROUP_ICON).items()}
    icons = {number: data for (number, _), data in image.resources(RT_ICON).items()}
    for name, formats in EXPECTED_ICON_GROUPS:
        if name not in groups:
            continue
        data = groups[name]
        count = struct.unpack_from("<H", data, 4)[0]
        found = []
        for i in range(count):
            width, height, _, _, _, bits, size, number = struct.unpack_from(
                "<BBBBHHIH", data, 6 + 14 * i)
            found.append((width if width == height else (width, height), bits))
            where = "icon group %s image %d (%dx%d, %d bpp)" % (name, i, width, height, bits)
            icon = icons.get(number)
            if icon is None:
                problems.append("%s: RT_ICON %d is missing" % (where, number))
                continue
            if len(icon) != size:
                problems.append("%s: the group says %d bytes, the image has %d"
                                % (where, size, len(icon)))
            header, bmp_width, bmp_height, planes, bmp_bits = struct.unpack_from("<IiiHH", icon)
            if (header, bmp_width, bmp_height, planes, bmp_bits) != (40, width, 2 * height, 1,
                                                                   bits):
                problems.append("%s: bitmap header says %dx%d (mask included), %d bpp"
                                % (where, bmp_width, bmp_height, bmp_bits))
                continue
            # Header, palette, colour bitmap and 1-bit mask, rows padded to four bytes.
            colours = 1 << bits if bits <= 8 else 0
            row = (width * bits + 31) // 32 * 4
            mask_row = (width + 31) // 32 * 4
            expected_size = 40 + 4 * colours + (row + mask_row) * height
            if len(icon) != expected_size:
                problems.append("%s: %d bytes, a bitmap of that shape takes %d"
                                % (where, len(icon), expected_size))
        if found != formats:
            problems.append("icon group %s holds %r, expected %r (size, bpp)"
                            % (name, found, formats))
    return problems


def version_strings(data):
    """Values of the StringFileInfo block, found by walking the version record's children."""
    values = {}

    def walk(at, end):
        while at + 6 <= end:
            length, value_length, is_text = struct.unpack_from("<HHH", data, at)
            if length == 0:
                break
            key_end = at + 6
            while data[key_end:key_end + 2] != b"\0\0":
                key_end += 2
            key = data[at + 6:key_end].decode("utf-16-le")
            value_at = (key_end + 2 + 3) & ~3
            if is_text and value_length:
                text = data[value_at:value_at + 2 * value_length].decode("utf-16-le")
                values[key] = text.rstrip("\0")
            else:
                child_at = (value_at + (value_length if not is_text else 0) + 3) & ~3
                walk(child_at, at + length)
            at = (at + length + 3) & ~3

    walk(0, len(data))
    return values


def main():
    if len(sys.argv) != 3:
        print("usage: check-resources.py <dll> <expected original file name>", file=sys.stderr)
        return 2
    path, file_name = sys.argv[1], sys.argv[2]
    with open(path, "rb") as f:
        image = Image(f.read())
    failures = []

    strings = string_table(image)
    for number, expected in EXPECTED_STRINGS.items():
        actual = strings.get(number)
        if actual is None:
            failures.append("string %d is missing" % number)
        elif actual[0] != expected:
            failures.append("string %d is %r, expected %r" % (number, actual[0], expected))

    tables = message_table(image)
    if list(tables) != [(1, 1033)]:
        failures.append("message tables %s, expected one with identifier 1, language 1033"
                        % sorted(tables))
    else:
        entries = tables[(1, 1033)]
        if sorted(entries) != sorted(EXPECTED_MESSAGES):
            failures.append("message identifiers %s, expected %s"
                            % (sorted(entries), sorted(EXPECTED_MESSAGES)))
        for number, text in EXPECTED_MESSAGES.items():
            if number not in entries:
                continue
            flags, stored = entries[number]
            if flags != 0:
                failures.append("message %d has flags %#x, expected 0 (8-bit text)"
                                % (number, flags))
            # Entries are padded with zeros to a multiple of four bytes.
            if stored.rstrip(b"\0") != text or len(stored) - len(text) > 4:
                failures.append("message %d is %r, expected %r" % (number, stored, text))

    failures += icon_problems(image)

    versions = image.resources(RT_VERSION)
    if len(versions) != 1:
        failures.append("%d version records, expected one" % len(versions))
    else:
        data = next(iter(versions.values()))
        fixed = data.find(struct.pack("<I", 0xFEEF04BD))
        file_version = struct.unpack_from("<II", data, fixed + 8) if fixed >= 0 else None
        if file_version != (0x00010000, 0):
            failures.append("file version %r, expected 1.0.0.0" % (file_version,))
        values = version_strings(data)
        for key, expected in dict(EXPECTED_VERSION, OriginalFilename=file_name).items():
            if values.get(key) != expected:
                failures.append("version %s is %r, expected %r" % (key, values.get(key), expected))

    for failure in failures:
        print("check-resources: FAIL: %s: %s" % (path, failure), file=sys.stderr)
    if failures:
        return 1
    print("check-resources: OK: %s (%d strings, message table 1/1033 with 8-bit entries "
          "0 and 1, flags 0; version 1.0.0.0, %s; %d icon groups, %s first)"
          % (path, len(EXPECTED_STRINGS), file_name, len(EXPECTED_ICON_GROUPS),
             EXPECTED_ICON_GROUPS[0][0]))
    return 0


if __name__ == "__main__":
    sys.exit(main())
