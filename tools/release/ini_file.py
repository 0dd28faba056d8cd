"""Reads one section of an INI file the way setup.exe does: UTF-8 (an
optional BOM), lines end at CR, LF or NUL, ";" starts a comment line, the
section name ignores letter case and only its first occurrence counts, a
repeated key keeps its first value, one pair of matching quotes around a
value is dropped, values longer than 259 bytes are cut, and a section's key
names stop being read past 2048 bytes or at a name longer than 258 bytes.
Besides the entries it answers what the program would silently lose."""

MAX_NAME_LIST_BYTES = 2048
MAX_NAME_BYTES = 258
MAX_VALUE_BYTES = 259
MAX_FILE_BYTES = 4 << 20


class Section:
    def __init__(self):
        self.entries = {}  # key -> value, in file order
        self.lines = {}  # key -> line number
        self.problems = []  # (level, line, message)
        self.found = False


def _lines(text):
    line, start = 1, 0
    for i, c in enumerate(text + "\n"):
        if c in "\r\n\0":
            yield line, text[start:i]
            if c == "\n" or (c == "\r" and not text[i + 1:i + 2] == "\n"):
                line += 1
            start = i + 1


def _unquote(value):
    if len(value) >= 2 and value[0] in "\"'" and value[-1] == value[0]:
        return value[1:-1]
    return value


def _cut_utf8(value_bytes):
    cut = value_bytes[:MAX_VALUE_BYTES]
    while cut and (cut[-1] & 0xC0) == 0x80:
        cut = cut[:-1]
    if cut and cut[-1] >= 0xC0:
        cut = cut[:-1]
    return cut


def read_section(data, section):
    """Entries of `section` in `data` (bytes)."""
    result = Section()
    if len(data) > MAX_FILE_BYTES:
        result.problems.append(("error", 0, "larger than %d bytes: the program reads nothing of it" % MAX_FILE_BYTES))
        return result
    if data.startswith(b"\xef\xbb\xbf"):
        data = data[3:]
    try:
        text = data.decode("utf-8")
    except UnicodeDecodeError as e:
        result.problems.append(("error", data[:e.start].count(b"\n") + 1,
                                "not UTF-8 text (save the file as UTF-8)"))
        text = data.decode("utf-8", errors="replace")
    wanted = section.lower()
    in_section = done = False
    name_bytes = 1
    for number, raw in _lines(text):
        line = raw.strip(" \t\v\f")
        if not line or line.startswith(";"):
            continue
        if line.startswith("["):
            name = line[1:].split("]", 1)[0].strip(" \t\v\f")
            if name.lower() == wanted:
                if in_section or done or result.found:
                    result.problems.append(("warning", number, "a second [%s] section is never read" % section))
                    in_section = False
                    done = True
                    continue
                result.found = True
                in_section = True
            else:
                if in_section:
                    done = True
                in_section = False
            continue
        if not in_section or "=" not in line:
            continue
        key, value = line.split("=", 1)
        key = key.strip(" \t\v\f")
        if not key:
            continue
        if key in result.entries:
            result.problems.append(("warning", number, "%s is repeated: only the first value (line %d) is read"
                                    % (key, result.lines[key])))
            continue
        key_size = len(key.encode("utf-8"))
        if key_size > MAX_NAME_BYTES:
            result.problems.append(("error", number, "a key name of %d bytes ends the section: it and every key "
                                    "after it are not read" % key_size))
            break
        if name_bytes + key_size + 1 > MAX_NAME_LIST_BYTES:
            result.problems.append(("error", number, "the key names of the section pass %d bytes: %s and every "
                                    "key after it are not read" % (MAX_NAME_LIST_BYTES, key)))
            break
        name_bytes += key_size + 1
        value = _unquote(value.strip(" \t\v\f"))
        encoded = value.encode("utf-8")
        if len(encoded) > MAX_VALUE_BYTES:
            value = _cut_utf8(encoded).decode("utf-8")
            result.problems.append(("warning", number, "%s is longer than %d bytes and is cut to \"%s\""
                                    % (key, MAX_VALUE_BYTES, value)))
        result.entries[key] = value
        result.lines[key] = number
    return result


def read_file_section(path, section):
    with open(path, "rb") as f:
        return read_section(f.read(MAX_FILE_BYTES + 1), section)
