"""A workbook the program writes opens in openpyxl with its sheets, texts,
numbers and booleans intact (the default static data workbook)."""
import sys

import openpyxl

book = openpyxl.load_workbook(sys.argv[1])
assert book.sheetnames == ["xq_config", "Device", "Flags"], book.sheetnames
config = {row[0]: row[1] for row in book["xq_config"].iter_rows(values_only=True)}
assert config == {"start_address": "1ff000", "storage": "normal", "otp": False}, config
device = list(book["Device"].iter_rows(values_only=True))
assert device[0][:4] == ("序号", "名称", "数据名称", "数据类型"), device[0]
assert device[1][0] == 1 and isinstance(device[1][0], int), device[1]
assert device[4][6] == "1.0025", device[4]
assert book["Device"].dimensions == "A1:I6", book["Device"].dimensions
print("openpyxl read", sys.argv[1])
