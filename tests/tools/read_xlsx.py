#!/usr/bin/python3
"""Prints a workbook's first sheet as openpyxl reads it, for the tests: the
frozen cell, then one line a row, each cell as TYPE:VALUE joined by tabs
(s: text, d: date and time, n: number, -: empty)."""
import sys

import openpyxl


def cell(value):
    if value is None:
        return "-:"
    if isinstance(value, str):
        return "s:" + value
    if hasattr(value, "isoformat"):
        return "d:" + value.isoformat(sep=" ")
    return "n:" + repr(value)


def main():
    book = openpyxl.load_workbook(sys.argv[1])
    sheet = book.worksheets[0]
    out = sys.stdout.buffer
    out.write(("frozen " + str(sheet.freeze_panes) + "\n").encode("utf-8"))
    out.write(("format " + str(sheet.cell(row=2, column=1).number_format) + "\n").encode("utf-8"))
    for row in sheet.iter_rows(values_only=True):
        out.write(("\t".join(cell(v) for v in row) + "\n").encode("utf-8"))


main()
