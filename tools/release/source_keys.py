"""Which configuration keys and language texts the program reads, found by
scanning its C++ sources (src/) at run time, so the list follows the code.

Recognised reads (the forms the sources use):
  - the stores themselves: Config().Get/IsOn/GetForEdition(...),
    config.Get(...), Strings().Get(...), strings.Get(...),
    Strings().Format(key, argument_key, ...); a key argument is a literal,
    a choice between literals (vexa ? "A" : "B") or a variable, whose
    literal assignments in the same file count;
  - a loop variable over a table of literals in the same file:
    for (const char* key : kKeys) with kKeys[] = {"A", "B"};
  - wrappers: any function whose parameters named ...key are handed to one
    of the stores (Text(key), TextWith(key, argument_key), ConfigAnsi(key));
    their call sites count for the store the wrapper reads;
  - tables pairing a control with a text: {L"control", "Key"};
  - numbered texts: key = "Prefix" + std::to_string(n) read through
    Strings(), numbered 1..N where N is
    the constant named in NUMBERED_TEXTS (an unknown prefix is an error, so
    a new family cannot be missed silently);
  - a store's own redirects: Lookup(strings_, "Key").
GetForEdition("Key") also reads "KeyVexa" (the VEXA edition's twin).
"""

import os
import re

# Numbered texts: prefix -> (source file under src/, constant holding N).
NUMBERED_TEXTS = {
    "InstallingPicTips": ("ui/ads_carousel.h", "kSlides"),
}

EDITION_SUFFIX = "Vexa"
# Folders that never read the product's configuration (the toolkit knows
# nothing of the product; platform wraps Win32).
SKIPPED_FOLDERS = ("toolkit", "platform")


class ScanError(Exception):
    """The sources hold a read the scanner cannot resolve."""


class SourceKeys:
    """Result of a scan: key -> sorted list of "file:line" where it is read."""

    def __init__(self):
        self.config = {}
        self.edition_keys = set()  # config keys read through GetForEdition
        self.strings = {}

    def add_config(self, key, where, edition=False):
        self.config.setdefault(key, set()).add(where)
        if edition:
            self.edition_keys.add(key)
            self.config.setdefault(key + EDITION_SUFFIX, set()).add(where)

    def add_string(self, key, where):
        self.strings.setdefault(key, set()).add(where)


_STRING = r'"((?:[^"\\]|\\.)*)"'
# Reads of the stores: (call pattern ending in "(", store, key positions, edition).
_STORE_CALLS = [
    (re.compile(r'(?:\bConfig\(\)|\bconfig)\s*\.\s*(?:Get|IsOn)\('), "config", [0], False),
    (re.compile(r'(?:\bConfig\(\)|\bconfig)\s*\.\s*GetForEdition\('), "config", [0], True),
    (re.compile(r'(?:\bStrings\(\)|\bstrings)\s*\.\s*Get\('), "strings", [0], False),
    (re.compile(r'(?:\bStrings\(\)|\bstrings)\s*\.\s*Format\('), "strings", [0, 1], False),
]
_TABLE_PAIR = re.compile(r'\{\s*L' + _STRING + r'\s*,\s*' + _STRING + r'\s*\}')
_NUMBERED = re.compile(r'\b(\w+)\s*=\s*' + _STRING + r'\s*\+\s*std::to_string\(')
_STORE_REDIRECT = re.compile(r'\bLookup\(\s*strings_\s*,\s*' + _STRING)
_FUNCTION_START = re.compile(r'\b([A-Z]\w*)\(([^()]*\bkey\b[^()]*)\)\s*(?:const\s*)?\{')
_COMMENT = re.compile(r'//[^\n]*|/\*.*?\*/', re.S)


def _without_comments(text):
    # Keeps line numbers: a comment becomes as many newlines as it held.
    return _COMMENT.sub(lambda m: "\n" * m.group(0).count("\n"), text)


def _block_end(text, open_brace):
    depth = 0
    for i in range(open_brace, len(text)):
        if text[i] == "{":
            depth += 1
        elif text[i] == "}":
            depth -= 1
            if depth == 0:
                return i
    return len(text)


def _arguments(text, open_paren):
    """The top-level argument texts of the call whose "(" is at open_paren."""
    depth, start, args = 0, open_paren + 1, []
    i = open_paren
    while i < len(text):
        c = text[i]
        if c == '"':
            i = text.index('"', i + 1) if '"' in text[i + 1:] else len(text)
            while text[i - 1] == "\\":
                i = text.index('"', i + 1)
        elif c in "([{":
            depth += 1
        elif c in ")]}":
            depth -= 1
            if depth == 0:
                args.append(text[start:i].strip())
                return args
        elif c == "," and depth == 1:
            args.append(text[start:i].strip())
            start = i + 1
        i += 1
    return args


def _find_wrappers(sources):
    """name -> ("config"|"strings", key positions, edition) for functions
    that hand their ...key parameters to a store, and per file the spans of
    their bodies (where a key is a parameter, not a literal to find)."""
    wrappers, spans = {}, {}
    for file_name, text in sources.items():
        for m in _FUNCTION_START.finditer(text):
            end = _block_end(text, m.end() - 1)
            body = text[m.end() - 1:end + 1]
            params = [p.strip() for p in m.group(2).split(",")]
            names = [re.findall(r"\w+", p)[-1] if re.findall(r"\w+", p) else "" for p in params]
            positions = [i for i, n in enumerate(names) if n == "key" or n.endswith("_key")]
            if not positions:
                continue
            keys = "|".join(names[i] for i in positions)
            if re.search(r"(?:Config\(\)|config)\s*\.\s*(?:Get|IsOn|GetForEdition)\(\s*(?:%s)\b" % keys, body):
                edition = re.search(r"GetForEdition\(\s*(?:%s)\b" % keys, body) is not None
                wrappers[m.group(1)] = ("config", positions, edition)
            elif re.search(r"Strings\(\)\s*\.\s*(?:Get|Format)\(\s*(?:%s)\b" % keys, body):
                wrappers[m.group(1)] = ("strings", positions, False)
            else:
                continue
            spans.setdefault(file_name, []).append((m.start(), end))
    return wrappers, spans


def _line_of(text, offset):
    return text.count("\n", 0, offset) + 1


def _keys_of(argument, text):
    """The literal keys an argument can carry: its own literals (a literal or
    a choice between literals), or for a bare variable the literals assigned
    to it in the same file."""
    literals = re.findall(_STRING, argument)
    if literals or not re.fullmatch(r"\w+", argument):
        return literals
    found = []
    for m in re.finditer(r"\b%s\s*=\s*([^;=][^;]*);" % re.escape(argument), text):
        if "std::to_string" not in m.group(1):  # numbered texts have their own rule
            found.extend(re.findall(_STRING, m.group(1)))
    # A loop over a table of keys: for (const char* key : kKeys), with
    # kKeys[] = {"A", "B"} in the same file.
    for m in re.finditer(r"\bfor\s*\([^:;()]*\b%s\s*:\s*(\w+)\s*\)" % re.escape(argument), text):
        table = re.search(r"\b%s\s*\[\s*\w*\s*\]\s*=\s*\{([^}]*)\}" % re.escape(m.group(1)), text)
        if table:
            found.extend(re.findall(_STRING, table.group(1)))
    return found


def read_sources(src_dir):
    sources = {}
    for folder, dirs, files in os.walk(src_dir):
        relative = os.path.relpath(folder, src_dir)
        if relative.split(os.sep)[0] in SKIPPED_FOLDERS:
            dirs[:] = []
            continue
        for name in sorted(files):
            if name.endswith((".cpp", ".h")):
                path = os.path.join(folder, name)
                with open(path, encoding="utf-8") as f:
                    sources[os.path.relpath(path, src_dir).replace(os.sep, "/")] = _without_comments(f.read())
    return sources


def _numbered_count(sources, prefix):
    if prefix not in NUMBERED_TEXTS:
        raise ScanError('numbered text "%s" + n: add its count to NUMBERED_TEXTS in %s'
                        % (prefix, os.path.basename(__file__)))
    file_name, constant = NUMBERED_TEXTS[prefix]
    m = re.search(r"\b%s\s*=\s*(\d+)\s*;" % re.escape(constant), sources.get(file_name, ""))
    if not m:
        raise ScanError("the count %s of the numbered text %s is not in src/%s" % (constant, prefix, file_name))
    return int(m.group(1))


def scan(src_dir):
    """Scans src_dir; raises ScanError when a read cannot be resolved."""
    sources = read_sources(src_dir)
    if not sources:
        raise ScanError("no C++ sources under %s" % src_dir)
    wrappers, wrapper_spans = _find_wrappers(sources)
    keys = SourceKeys()
    for file_name, text in sources.items():
        def where(offset):
            return "%s:%d" % (file_name, _line_of(text, offset))

        for m in _TABLE_PAIR.finditer(text):
            keys.add_string(m.group(2), where(m.start()))
        for m in _STORE_REDIRECT.finditer(text):
            keys.add_string(m.group(1), where(m.start()))
        for m in _NUMBERED.finditer(text):
            variable, prefix = m.group(1), m.group(2)
            if not re.search(r"Strings\(\)\s*\.\s*(?:Get|Format)\(\s*%s\b" % variable, text):
                continue  # a number in some other text
            for n in range(1, _numbered_count(sources, prefix) + 1):
                keys.add_string(prefix + str(n), where(m.start()))
        calls = [(re.compile(r"(?<![\w.>:])%s\(" % re.escape(name)), store, positions, edition)
                 for name, (store, positions, edition) in wrappers.items()]
        for pattern, store, positions, edition in _STORE_CALLS + calls:
            for m in pattern.finditer(text):
                if any(start <= m.start() <= end for start, end in wrapper_spans.get(file_name, [])):
                    continue
                args = _arguments(text, m.end() - 1)
                for position in positions:
                    for key in _keys_of(args[position], text) if position < len(args) else []:
                        if store == "config":
                            keys.add_config(key, where(m.start()), edition=edition)
                        else:
                            keys.add_string(key, where(m.start()))
    return keys


def string_literals(src_dir):
    """Every string literal of the scanned sources (for the drift test)."""
    found = set()
    for text in read_sources(src_dir).values():
        found.update(re.findall(_STRING, text))
    return found


def default_source_dir():
    return os.path.normpath(os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "src"))
