#!/usr/bin/env python3
"""The README's size rules for the stub, checked on the sources it links.

Every file of src/ goes into the stub's link except the builder's own
(BUILDER_ONLY) and the native stand-ins for the system (NATIVE_ONLY). In
those files, outside comments and string literals, this finds what the rules
keep out of the stub: tree containers, std::to_string, stream, locale, regex,
filesystem and format headers, <random>, the threads library's pieces, the
printf family, floating-point parsing, exception types and throwing
accessors, exceptions themselves and run-time type information.

    size_rules.py [SRC_DIR]        check every stub-linked file below SRC_DIR
    size_rules.py --files F...     check the named files only

Prints one line per finding (file:line: rule: the line) and exits 1 when
there is one, 0 otherwise.
"""
import os
import re
import sys

BUILDER_ONLY = {"package/PackWriter.cpp", "package/PackEntryEncode.cpp"}
NATIVE_ONLY = {"sys/PlatformStd.cpp"}
SUFFIXES = (".cpp", ".h", ".inl")

RULES = [
    ("tree container", r"\bstd::(multi)?(map|set)\s*<|#\s*include\s*<(map|set)>"),
    ("std::to_string", r"\bstd::to_string\b"),
    ("stream, locale, regex, filesystem or format header",
     r"#\s*include\s*<(iostream|istream|ostream|sstream|fstream|locale|regex|filesystem|format)>"),
    ("stream, locale, regex, filesystem or format",
     r"\bstd::(cout|cerr|clog|cin|[io]?stringstream|[io]?fstream|locale|regex|filesystem|format)\b"),
    ("<random>", r"#\s*include\s*<random>|\bstd::(random_device|mt19937(_64)?|default_random_engine)\b"),
    ("threads library", r"#\s*include\s*<(thread|mutex|future|chrono)>|"
     r"\bstd::(thread|jthread|mutex|recursive_mutex|call_once|async|future)\b|\bstd::chrono::\w+_clock\b"),
    ("printf family", r"\b(std::)?(printf|sprintf|snprintf|fprintf|vsnprintf|vsprintf|vfprintf)\s*\("),
    ("floating-point parsing", r"\b(std::)?(strtod|strtof|strtold|atof|sscanf|stod|stof|stold)\s*\("),
    ("throwing conversion", r"\bstd::sto(i|l|ll|ul|ull)\s*\("),
    ("throwing accessor .at()", r"\.at\s*\("),
    ("exception type", r"\bstd::(exception|runtime_error|logic_error|length_error|out_of_range|"
     r"invalid_argument|system_error|bad_alloc)\s*[({]"),
    ("exceptions", r"\bthrow\b|\btry\s*\{|\bcatch\s*\("),
    ("run-time type information", r"\bdynamic_cast\s*<|\btypeid\s*\("),
]
COMPILED = [(name, re.compile(pattern)) for name, pattern in RULES]


def code_only(text):
    """The text with comments and the contents of string and character
    literals blanked out; line breaks stay where they were."""
    out = []
    i, n = 0, len(text)
    while i < n:
        c = text[i]
        if text.startswith("//", i):
            while i < n and text[i] != "\n":
                i += 1
        elif text.startswith("/*", i):
            end = text.find("*/", i + 2)
            end = n if end < 0 else end + 2
            out.append("".join(ch if ch == "\n" else " " for ch in text[i:end]))
            i = end
        elif c == "R" and text.startswith('R"', i) and (i == 0 or not (text[i - 1].isalnum() or text[i - 1] == "_")):
            open_paren = text.find("(", i + 2)
            delim = text[i + 2:open_paren]
            end = text.find(")" + delim + '"', open_paren)
            end = n if end < 0 else end + len(delim) + 2
            out.append('""' + "".join(ch if ch == "\n" else " " for ch in text[i + 2:end]))
            i = end
        elif c in "\"'":
            j = i + 1
            while j < n and text[j] != c and text[j] != "\n":
                j += 2 if text[j] == "\\" else 1
            out.append(c + " " * (min(j, n) - i - 1) + c)
            i = j + 1
        else:
            out.append(c)
            i += 1
    return "".join(out)


def stub_linked_files(src):
    for folder, _, names in sorted(os.walk(src)):
        for name in sorted(names):
            rel = os.path.relpath(os.path.join(folder, name), src).replace(os.sep, "/")
            if name.endswith(SUFFIXES) and rel not in BUILDER_ONLY and rel not in NATIVE_ONLY:
                yield os.path.join(folder, name), rel


def findings(path):
    with open(path, encoding="latin-1") as f:
        original = f.read()
    lines = original.splitlines()
    for number, line in enumerate(code_only(original).splitlines(), 1):
        for name, pattern in COMPILED:
            if pattern.search(line):
                yield number, name, lines[number - 1].strip()


def main(argv):
    if argv[:1] == ["--files"]:
        files = [(p, p) for p in argv[1:]]
    else:
        src = argv[0] if argv else os.path.join(os.path.dirname(__file__), "..", "..", "src")
        files = list(stub_linked_files(src))
    count = 0
    for path, shown in files:
        for number, rule, line in findings(path):
            print(f"{shown}:{number}: {rule}: {line}")
            count += 1
    if count:
        print(f"{count} use(s) of what the stub's size rules keep out (README, keeping the stub small)")
        return 1
    print(f"{len(files)} stub-linked files keep the size rules")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
