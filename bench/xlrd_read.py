#!/usr/bin/python3
"""Times python3-xlrd opening a workbook and reading every cell of every sheet,
in-process (the interpreter's own start is not counted).

Usage: /usr/bin/python3 bench/xlrd_read.py FILE RUNS
Prints one line per run: milliseconds, then the number of non-empty cells read.
"""

import sys
import time

import xlrd


def read_all(path):
    """Opens the book and reads every row's values; the book is freed by the caller."""
    book = xlrd.open_workbook(path)
    for sheet in book.sheets():
        for r in range(sheet.nrows):
            sheet.row_values(r)
    return book


def count_non_empty(book):
    return sum(1 for sheet in book.sheets() for r in range(sheet.nrows)
               for v in sheet.row_values(r) if v != "")


def main():
    path, runs = sys.argv[1], int(sys.argv[2])
    for _ in range(runs):
        t0 = time.perf_counter()
        book = read_all(path)
        t1 = time.perf_counter()
        # Counted and freed after the clock stops, as for the engine.
        cells = count_non_empty(book)
        del book
        print("%.3f %d" % ((t1 - t0) * 1000.0, cells), flush=True)


if __name__ == "__main__":
    main()
