#!/usr/bin/env python3
"""No function under src/ is over 100 lines, and the two files that grew
large before (src/gui/mainwindow.cpp, src/chip/flashops.cpp) stay under 500
lines: a function that does not fit on a screen or two hides its steps.

A function is a brace block at file, namespace or class level whose head
ends like a function's (a closing parenthesis, perhaps const, override,
noexcept or a trailing return type); its length runs from the head's first
line to the closing brace. Comments, strings, characters and preprocessor
lines are blanked first, so braces inside them do not count.

Usage: function_length.py SOURCE_DIR
"""
import pathlib
import re
import sys

MAX_FUNCTION_LINES = 100
MAX_FILE_LINES = {"src/gui/mainwindow.cpp": 500, "src/chip/flashops.cpp": 500}

FUNCTION_HEAD = re.compile(
    r"\)\s*(?:const|override|final|noexcept|mutable|volatile|&|\s)*"
    r"(?:->\s*[\w:<>,\s*&]+)?\s*$")
SCOPE_HEAD = re.compile(r"\b(?:namespace|class|struct|union)\b[^()]*$|extern\s*\"C\"\s*$")
ENUM_HEAD = re.compile(r"\benum\b")


def blank_out(text):
    """text with comments, literals and preprocessor lines replaced by
    blanks, newlines kept, so that line numbers stay."""
    out = []
    i, n = 0, len(text)
    at_line_start = True
    while i < n:
        c = text[i]
        if at_line_start and c == "#":
            # A preprocessor line, with its continuations.
            while i < n and not (text[i] == "\n" and text[i - 1] != "\\"):
                out.append("\n" if text[i] == "\n" else " ")
                i += 1
            continue
        if c == "\n":
            at_line_start = True
            out.append(c)
            i += 1
            continue
        if not c.isspace():
            at_line_start = False
        if text.startswith("//", i):
            while i < n and text[i] != "\n":
                out.append(" ")
                i += 1
        elif text.startswith("/*", i):
            end = text.find("*/", i + 2)
            end = n if end < 0 else end + 2
            out.append(re.sub(r"[^\n]", " ", text[i:end]))
            i = end
        elif c == "R" and text.startswith('"', i + 1) and (i == 0 or not (text[i - 1].isalnum() or text[i - 1] == "_")):
            open_paren = text.find("(", i + 2)
            delim = ")" + text[i + 2:open_paren] + '"'
            end = text.find(delim, open_paren)
            end = n if end < 0 else end + len(delim)
            out.append('""' + re.sub(r"[^\n]", " ", text[i + 2:end]))
            i = end
        elif c in "\"'":
            j = i + 1
            while j < n and text[j] != c:
                j += 2 if text[j] == "\\" else 1
            out.append(c + " " * (j - i - 1) + c)
            i = j + 1
        else:
            out.append(c)
            i += 1
    return "".join(out)


def long_functions(text):
    """(head line, lines) of every function over the limit."""
    code = blank_out(text)
    found = []
    # Each open brace: whether it is a scope (namespace, class) whose
    # braces inside may be functions, and, for a function, its head line.
    stack = []
    head_start = None  # offset where the text before the next brace began
    i, n = 0, len(code)
    while i < n:
        c = code[i]
        in_scope = all(kind == "scope" for kind, _ in stack)
        if in_scope and head_start is None and not c.isspace() and c not in ";{}":
            head_start = i
        if c == "{":
            head = code[head_start:i] if head_start is not None else ""
            if not in_scope:
                stack.append(("block", None))
            elif SCOPE_HEAD.search(head) and not ENUM_HEAD.search(head):
                stack.append(("scope", None))
                head_start = None
            elif FUNCTION_HEAD.search(head):
                stack.append(("function", code.count("\n", 0, head_start) + 1))
                head_start = None
            elif re.search(r"[\w>]\s*$", head) and not ENUM_HEAD.search(head) and "=" not in head:
                # A braced initializer in a constructor's list (m_x{1}): part of the head.
                depth, j = 0, i
                while j < n:
                    depth += {"{": 1, "}": -1}.get(code[j], 0)
                    if depth == 0:
                        break
                    j += 1
                i = j + 1
                continue
            else:
                stack.append(("block", None))  # an initializer, an enum
        elif c == "}":
            if stack:
                kind, line = stack.pop()
                if kind == "function":
                    lines = code.count("\n", 0, i) + 1 - line + 1
                    if lines > MAX_FUNCTION_LINES:
                        found.append((line, lines))
            if all(kind == "scope" for kind, _ in stack):
                head_start = None
        elif c == ";" and in_scope:
            head_start = None
        i += 1
    return found


def main():
    root = pathlib.Path(sys.argv[1] if len(sys.argv) > 1 else ".")
    status = 0
    for path in sorted((root / "src").rglob("*")):
        if path.suffix not in (".cpp", ".h", ".c"):
            continue
        rel = path.relative_to(root).as_posix()
        text = path.read_text(encoding="utf-8")
        for line, lines in long_functions(text):
            print(f"{rel}:{line}: a function of {lines} lines (at most {MAX_FUNCTION_LINES})")
            status = 1
        limit = MAX_FILE_LINES.get(rel)
        if limit is not None:
            count = text.count("\n")
            if count >= limit:
                print(f"{rel}: {count} lines (under {limit})")
                status = 1
    return status


if __name__ == "__main__":
    sys.exit(main())
