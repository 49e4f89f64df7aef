#!/usr/bin/python3
"""Writes the benchmark workbooks with xlwt (a foreign writer, as a diary kept
in Excel would be):

  full_year.xls   Sheet1: the 27 diary columns, 365 records, every text field
                  filled with Japanese text (line breaks in 予定 and 感想),
                  colour fields as numbers, 天気 a stored icon path
  rows6000.xls    the same kind of records, 6,000 of them, plus a sheet "メモ"
  rows60000.xls   60,000 records plus "メモ"

Usage: /usr/bin/python3 bench/make_workbooks.py OUT_DIR
"""

import os
import sys

import xlwt

HEADERS = (["予定", "出欠"] + ["時間%d" % i for i in range(1, 8)]
           + ["内容%d" % i for i in range(1, 8)] + ["感想", "予定色"]
           + ["時間色%d" % i for i in range(1, 8)] + ["感想色", "天気"])
COLOURS = [-2147483640, -2147483640, -2147483640, 255, 16711680, 32768]
SUBJECTS = ["国語", "数学", "英語", "理科", "社会", "体育", "音楽", "美術",
            "技術・家庭", "道徳", "学活", "総合"]
ATTENDANCE = ["出席", "出席", "出席", "遅刻（電車遅延）", "欠席（発熱）", "早退"]
PLANS = ["午後3時から歯医者", "部活の練習試合", "図書館で本を返す", "塾の模試",
         "友達の誕生日会", "英検の申し込み締め切り", "保護者会", "買い物に行く"]
TOPICS = ["教科書p.%dから音読", "小テスト（範囲%d）", "実験レポート第%d回",
          "プリント%d枚目の復習", "グループ発表の準備%d", "単元%dのまとめ"]
FEELINGS = ["今日はとても楽しかった。", "少し疲れたけれど充実していた。",
            "雨で体育が中止になって残念。", "明日の小テストが心配だ。",
            "友達と放課後に話した。", "新しい先生の授業が分かりやすかった。"]
WEATHER = ["はれ", "くもり", "あめ", "ゆき", "かみなり"]


def record(row):
    """Field values of one record; row 0 is the first day."""
    month = (row // 30) % 12 + 1
    day = row % 30 + 1
    rec = {
        "予定": "%d月%d日の予定\n%s" % (month, day, PLANS[row % len(PLANS)]),
        "出欠": ATTENDANCE[row % len(ATTENDANCE)],
        "感想": "%d日目。%s\n%s" % (row + 1, FEELINGS[row % len(FEELINGS)],
                                  FEELINGS[(row * 7 + 3) % len(FEELINGS)]),
        "予定色": COLOURS[row % len(COLOURS)],
        "感想色": COLOURS[(row + 2) % len(COLOURS)],
        "天気": "C:\\Program Files\\merrow日記\\%s.ico" % WEATHER[row % len(WEATHER)],
    }
    for k in range(7):
        subject = SUBJECTS[(row + k * 5) % len(SUBJECTS)]
        n = (row * 7 + k) % 97 + 1
        rec["時間%d" % (k + 1)] = subject
        rec["内容%d" % (k + 1)] = "%s：%s" % (subject, TOPICS[(row + k) % len(TOPICS)] % n)
        rec["時間色%d" % (k + 1)] = COLOURS[(row + k) % len(COLOURS)]
    return rec


def write(path, rows, memo):
    book = xlwt.Workbook(encoding="utf-8")
    sheet = book.add_sheet("Sheet1")
    for col, name in enumerate(HEADERS):
        sheet.write(0, col, name)
    for r in range(rows):
        rec = record(r)
        for col, name in enumerate(HEADERS):
            sheet.write(r + 1, col, rec[name])
        if r % 1000 == 999:
            sheet.flush_row_data()   # keeps xlwt's memory flat on tall sheets
    if memo:
        other = book.add_sheet("メモ")
        for col, name in enumerate(["品目", "数量", "単価", "備考"]):
            other.write(0, col, name)
        for r in range(1, rows // 10 + 1):
            other.write(r, 0, "買い物メモ%d" % r)
            other.write(r, 1, r % 12 + 1)
            other.write(r, 2, 98.5 + r % 50)
            other.write(r, 3, PLANS[r % len(PLANS)])
    tmp = path + ".tmp"
    book.save(tmp)
    os.replace(tmp, path)


def main():
    out = sys.argv[1]
    os.makedirs(out, exist_ok=True)
    write(os.path.join(out, "full_year.xls"), 365, memo=False)
    write(os.path.join(out, "rows6000.xls"), 6000, memo=True)
    write(os.path.join(out, "rows60000.xls"), 60000, memo=True)


if __name__ == "__main__":
    main()
