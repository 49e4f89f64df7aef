#!/usr/bin/env python3
"""Fails when a library links or includes against the layers in README.md:

    app -> main_window -> appearance, weather, search, printing -> store -> platform -> platform/workbook

Every target of ours shares the source tree as include root, so the compiler
alone would let store/ include a window. This reads the libraries, their
sources and links from the CMake files, then every #include of their sources.
"""
import glob
import os
import re
import sys

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
# The CMake files that define the product's libraries (tests, benchmarks and
# fuzzers are not layered).
CMAKE_FILES = ["CMakeLists.txt", "printing/CMakeLists.txt", "platform/workbook/CMakeLists.txt"]

# A library may link only those of a lower rank. platform/ is two libraries:
# its Qt Core values below the store, its widgets beside it, out of its reach.
RANK = {
    "workbook_engine": 0,
    "pravok_platform_base": 1,
    "pravok_store": 2,
    "pravok_platform": 2,
    "pravok_search": 3,
    "pravok_search_window": 4,
    "pravok_appearance": 4,
    "pravok_weather": 4,
    "pravok_printing": 4,
    "pravok_main_window": 5,
    "pravok_core": 6,
    "pravok": 7,
}
# What the unit tests, fuzzers and benchmarks link alone: Qt Core, no widgets.
WIDGET_FREE = {"workbook_engine", "pravok_platform_base", "pravok_store", "pravok_search"}
QT_CORE = {"Qt6::Core"}
# The engine's interface; the rest of platform/workbook/ is its own.
ENGINE_PUBLIC = {"platform/workbook/Workbook.h", "platform/workbook/AtomicFile.h"}
OUR_FOLDERS = ("app/", "main_window/", "appearance/", "weather/", "search/", "printing/", "store/", "platform/")


def commands(text):
    """(name, [args]) of every CMake command, comments dropped."""
    text = re.sub(r"#[^\n]*", "", text)
    for m in re.finditer(r"\b(\w+)\s*\(((?:[^()]|\([^()]*\))*)\)", text):
        yield m.group(1).lower(), m.group(2).split()


def read_cmake(path, variables, targets, links):
    folder = os.path.dirname(path)
    rel = os.path.relpath(folder, ROOT)
    variables = dict(variables, CMAKE_CURRENT_LIST_DIR=folder, CMAKE_CURRENT_SOURCE_DIR=folder)

    def expand(arg):
        return re.sub(r"\$\{(\w+)\}", lambda m: variables.get(m.group(1), m.group(0)), arg)

    with open(path, encoding="utf-8") as f:
        text = f.read()
    for name, args in commands(text):
        args = [expand(a) for a in args]
        if name == "set" and args:
            variables[args[0]] = " ".join(args[1:])
        elif name == "include" and args and args[0].endswith(".cmake"):
            # Sources.cmake only names the engine's files.
            with open(args[0], encoding="utf-8") as f:
                for cmd, values in commands(f.read()):
                    if cmd == "set" and values:
                        variables[values[0]] = " ".join(values[1:])
        elif name in ("add_library", "add_executable", "qt_add_executable") and args:
            target = args[0]
            files = " ".join(args[1:]).split()
            sources = [os.path.normpath(os.path.join(rel, f)) for f in files
                       if re.search(r"\.(cpp|h)$", f)]
            targets.setdefault(target, []).extend(sources)
        elif name == "target_link_libraries" and args:
            links.setdefault(args[0], set()).update(
                a for a in args[1:] if a not in ("PUBLIC", "PRIVATE", "INTERFACE"))


def qt_core_headers():
    found = glob.glob("/usr/include/*/qt6/QtCore") + glob.glob("/usr/include/qt6/QtCore")
    return set(os.listdir(found[0])) if found else None


def main():
    targets, links = {}, {}
    for path in CMAKE_FILES:
        read_cmake(os.path.join(ROOT, path), {"CMAKE_SOURCE_DIR": ROOT, "PROJECT_SOURCE_DIR": ROOT},
                   targets, links)
    targets = {t: s for t, s in targets.items() if t in RANK}
    owner = {src: t for t, srcs in targets.items() for src in srcs}
    problems = []

    for target in RANK:
        if target not in targets:
            problems.append(f"CMake: no library {target} found; update tools/check_layers.py with the layers")

    def closure(target, seen=None):
        seen = set() if seen is None else seen
        for dep in links.get(target, ()):
            if dep not in seen:
                seen.add(dep)
                closure(dep, seen)
        return seen

    for target, deps in sorted(links.items()):
        if target not in RANK:
            continue
        for dep in sorted(deps):
            if dep in RANK and RANK[dep] >= RANK[target]:
                problems.append(f"CMake: {target} links {dep}, a library at or above its layer")
        if target in WIDGET_FREE:
            qt = sorted(d for d in closure(target) if d.startswith("Qt6::") and d not in QT_CORE)
            if qt:
                problems.append(f"CMake: {target} must stay without widgets but links {', '.join(qt)}")

    core_headers = qt_core_headers()
    include = re.compile(r'^\s*#\s*include\s*([<"])([^">]+)[">]')
    for source, target in sorted(owner.items()):
        reach = closure(target) | {target}
        path = os.path.join(ROOT, source)
        if not os.path.exists(path):
            problems.append(f"{source}: listed in {target} but missing")
            continue
        with open(path, encoding="utf-8") as f:
            for number, line in enumerate(f, 1):
                m = include.match(line)
                if not m:
                    continue
                header = m.group(2)
                quoted = f'"{header}"' if m.group(1) == '"' else f"<{header}>"
                where = f"{source}:{number}: {target} includes {quoted}"
                if header.startswith(OUR_FOLDERS):
                    other = owner.get(os.path.normpath(header))
                    if other is None:
                        problems.append(f"{where}, which no library lists")
                    elif other not in reach:
                        problems.append(f"{where} of {other}, which it does not link")
                    elif other == "workbook_engine" != target and header not in ENGINE_PUBLIC:
                        problems.append(f"{where}, private to the engine; use {' or '.join(sorted(ENGINE_PUBLIC))}")
                elif target in WIDGET_FREE and core_headers is not None and m.group(1) == "<":
                    name = header.split("/", 1)
                    qt = header.startswith("Q") and (len(name) == 1 or name[0].startswith("Qt"))
                    if qt and (header.split("/")[-1] not in core_headers or
                               (len(name) == 2 and name[0] != "QtCore")):
                        problems.append(f"{where}, which is not Qt Core; {target} stays without widgets")

    for problem in problems:
        print(problem, file=sys.stderr)
    if problems:
        print(f"Layers broken: {len(problems)} problem(s); the layers are in README.md, 'Layers'.",
              file=sys.stderr)
        return 1
    print(f"Layers hold: {len(owner)} sources in {len(targets)} libraries.")
    return 0


if __name__ == "__main__":
    sys.exit(main())
