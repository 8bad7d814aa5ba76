// The rows of the two-language text table. Every user-visible text of the program lives here,
// once in English and once in Japanese, under the same identifier. The English wording is kept
// exactly as the program has always shown it (including its odd spellings and the blanks that
// fragments need to be joined at run time); do not "fix" it, other code and users' habits rely
// on it. Code names an identifier through core/support/TextIds.h.
#include "core/support/TextRows.h"

#include <array>

#include "core/support/TextRowsLater.h"

namespace kmr {
namespace {

// Sorted by identifier (checked at compile time below), the later rows after these.
constexpr TextRow kFirstRows[] = {
    // Language marker, read as a number by the decimal-symbol check: 1 English, 0 Japanese.
    {1, "1", "0"},

    // Messages, prompts and captions.
    {101, "GP-IB Address:", "GP-IBアドレス:"},
    {102, "GP-IB error", "GP-IBエラー"},
    {103, "Output in megohm.", "MΩ単位で出力します。"},
    {104, "Output `OK` or `ERR`.", "`OK` または `ERR` を出力します。"},
    {105, "Execute RAM-check.", "RAMチェックを実行します。"},
    {106, "Execute ROM-check.", "ROMチェックを実行します。"},
    {107, "Error", "エラー"},
    {108, "Do you want to continue program at off-line PC.",
     "オフラインでプログラムを続行しますか？"},
    {109, "has occurred.", "が発生しました。"},
    {110, "More than one is reguired for graphic display.",
     "グラフ表示には1チャネル以上の選択が必要です。"},
    {111, "This program already opens.", "このプログラムは既に起動しています。"},
    {112, "Wait a minute.", "しばらくお待ちください。"},
    {113, "This file is not KMR-5300's condition file.",
     "このファイルはKMR-5300の条件ファイルではありません。"},
    {114, "Check", "チェック"},
    {115, "Measurement channel is not set.", "測定チャネルが設定されていません。"},
    {116, "Disk media is restricted to hard disk.",
     "ディスクメディアはハードディスクに限られます。"},
    {117, "Data Trigger", "データトリガ"},
    {118, "Data trigger channel is not set.", "データトリガチャネルが設定されていません。"},
    {119, "Data file name is not selected.", "データファイル名が選択されていません。"},
    {120, "Data file name exists.", "同じ名前のデータファイルが存在します。"},
    // 121 + " '" + name + "' " + 122
    {121, "Are you sure the data file name is ", "データファイル名は "},
    {122, "?", "でよろしいですか？"},
    {123, "Data storage software KMR-5300", "データ収録ソフトウェア KMR-5300"},
    {124, "Data transfer,storage and drawing...", "データ転送・保存・描画中..."},
    {125, "Instrument is not KMR-530A.", "測定器がKMR-530Aではありません。"},
    {126, "Effective channel does not exist in KMR-530A/510C.",
     "KMR-530A/510Cに有効なチャネルがありません。"},
    {127, "Delimiter:", "デリミタ:"},
    // 128 + " '" + drive root + "' " + 132 + " " + 154
    {128, "Drive", "ドライブ"},
    {129, "Drive is not ready.", "ドライブの準備ができていません。"},
    {130, "Drive media is abnormal.", "ドライブのメディアが異常です。"},
    {131, "Drive capacity of more than 1MB is needed.",
     "ドライブに1MB以上の空き容量が必要です。"},
    {132, "cannot write.", "に書き込めません。"},
    {133, "fixed.", "に設定されています。"},
    {134, "not ready.", "の準備ができていません。"},
    {135, "Strain measurement is done at autobalance value of 0.",
     "オートバランス値を0としてひずみを測定します。"},
    {136, "Autobalance measurement of strain is done.", "ひずみのオートバランス測定を行います。"},
    {137, "Strain sensitivity check is performed.", "ひずみ感度チェックを行います。"},
    {138, "Insulation for strain input is measured.", "ひずみ入力の絶縁抵抗を測定します。"},
    {139, "Converting file...", "ファイル変換中..."},
    {140, "File name is improper.", "ファイル名が不適切です。"},
    {141, "Overlap of file name including a suffix may exist.",
     "添字を含めたファイル名が重複している可能性があります。"},
    {142, "Cannot make remote-sensing for bridge voltage. Confirm extened cable.",
     "ブリッジ電圧のリモートセンシングができません。延長ケーブルを確認してください。"},
    {143, "Program has got ready.", "プログラムの準備ができました。"},
    {144, "Do you agree to finish software?", "ソフトウェアを終了してよろしいですか？"},
    {145, "Quit", "終了"},
    {146, "Manual Trigger", "マニュアルトリガ"},
    {147, "Moni. Off", "モニタ オフ"},
    {148, "Moni. On", "モニタ オン"},
    {149, "Loading error", "起動エラー"},
    {150, "External Trigger", "外部トリガ"},
    {151, "Confirmation", "確認"},
    {152, "Standard value is +750 at 0.5B.V., +3000 at 2.0B.V. or +7500 at 5.0B.V..",
     "基準値は，+750με(0.5V)，+3000με(2.0V)，+7500με(5.0V) です。"},
    {153, "Measuring in high-speed mode.", "高速モードで測定中です。"},
    {154, "Do you want to retry?", "再試行しますか？"},
    {155, "Next data file", "次のデータファイル"},
    {156, "Setting error", "設定エラー"},
    {157, "The setting conditions are changed. Do you want to renew?",
     "設定条件が変更されています。更新しますか？"},
    {158, "The setting conditions are changed. Do you want to close without renewing?",
     "設定条件が変更されています。更新せずに閉じますか？"},
    {159, "Start", "スタート"},
    {160, "Stop", "ストップ"},
    {161, "The media does not exist.", "メディアが存在しません。"},
    {162, "Cannot Comunicate.", "通信できません。"},
    {163, "Cannot make balance measurement.", "バランス測定ができません。"},
    {164, "Registration", "登録"},
    {165, "The media can not be recognized or it is destroyed.",
     "メディアを認識できないか、メディアが破損しています。"},
    {166, "The media can not be recognixed.", "メディアを認識できません。"},
    {167, "Close", "閉じる"},
    // 168 + " #" + error number + " " + 109 + description
    {168, "Unexpected error", "予期しないエラー"},
    {169, "Cannot open communication port.", "通信ポートを開けません。"},
    {170, "Data Folder Settings", "データフォルダの設定"},
    {171, "This mode is voltage measurement mode. ", "このモードは電圧測定モードです。"},
    {172, "Measurement Data Folder", "測定データフォルダ"},
    {173, "CSV Format Data Folder", "CSV形式データフォルダ"},
    // 180 + " '" + folder + "' " + 181
    {180, "Directory", "フォルダ"},
    {181, "cannot select.", "を選択できません。"},
    {201, "Rest time", "測定残量"},
    // 202 + number + " " + 203 + 204
    {202, "Number of data-memory words of measurement conditions is over ",
     "測定条件のデータメモリワード数が "},
    {203, "words", "ワード"},
    {204, ".", "を超えています。"},
    {205, "CSV format is not available as file-type.", "ファイル形式にCSV形式は使用できません。"},
    {206, "Caution", "注意"},

    // Main menu and common buttons.
    {1001, "File(&F)", "ファイル(&F)"},
    {1002, "Meas.(&M)", "測定(&M)"},
    {1003, "Option(&O)", "オプション(&O)"},
    {1004, "Data File Settings...", "データファイル設定..."},
    {1005, "Meas. Cond. Settings...", "測定条件設定..."},
    {1006, "Graph Cond. Settings...", "グラフ条件設定..."},
    {1007, "Converting File(*.kmr->*.csv)...", "ファイル変換(*.kmr->*.csv)..."},
    {1008, "Quit", "終了"},
    {1009, "Monitor", "モニタ"},
    {1010, "Balance...", "バランス..."},
    {1011, "Start", "スタート"},
    {1012, "Check...", "チェック..."},
    {1013, "Version...", "バージョン情報..."},
    {1014, "OK", "OK"},
    {1015, "Cancel", "キャンセル"},
    {1016, "Yes", "はい"},
    {1017, "No", "いいえ"},
    {1018, "Balance", "バランス"},
    {1019, "Close", "閉じる"},

    // Data-file settings form.
    {1101, "Data File Settings", "データファイル設定"},
    {1102, "Data Folder Name", "データフォルダ名"},
    {1103, "Data File Name", "データファイル名"},
    {1104, "File Type", "ファイル形式"},
    {1105, "Output Cal. ...", "出力校正..."},
    {1106, "Output Calibration", "出力校正"},

    // Measurement-condition form.
    {1201, "Measurement Condition Settings", "測定条件設定"},
    {1202, "Measurement Condition", "測定条件"},
    {1203, "Channel Condition", "チャネル条件"},
    {1204, "Trigger Mode", "トリガモード"},
    {1205, "Sampling Clock", "サンプリングクロック"},
    {1206, "Memory Word", "メモリワード数"},
    {1207, "Pre-Memory", "プリメモリ"},
    {1208, "Averaging", "平均化"},
    {1209, "Ch.", "CH"},
    {1210, "On/Off", "ON/OFF"},
    {1211, "Input Mode", "入力モード"},
    {1212, "L.P.F", "L.P.F"},
    {1213, "Coeff.", "係数"},
    {1214, "Point", "小数点"},
    {1215, "Unit", "単位"},
    {1216, "Data Trigger", "データトリガ"},
    {1217, "On/Off", "ON/OFF"},
    {1218, "Level", "レベル"},
    {1219, "Offset", "オフセット"},

    // Graph-condition form.
    {1301, "Graph Condition Settings", "グラフ条件設定"},
    {1302, "X-Axis", "X軸"},
    {1303, "Y-Axis", "Y軸"},
    {1304, "Grid", "グリッド"},
    {1305, "Moni. Scale", "モニタスケール"},
    {1306, "Graph Scale", "グラフスケール"},
    {1307, "Span", "スパン"},
    {1308, "Pich", "ピッチ"},
    {1309, "Div.", "分割"},
    {1310, "Auto", "自動"},
    {1311, "Max.", "最大"},
    {1312, "Min.", "最小"},
    {1313, "Div.", "分割"},
    {1314, "Ch.", "CH"},
    {1315, "On/Off", "ON/OFF"},
    {1316, "Grid", "グリッド"},
    {1317, "Scale", "スケール"},
    {1318, "Auto", "自動"},
    {1319, "Max.", "最大"},
    {1320, "Min.", "最小"},
    {1321, "Div.", "分割"},

    // File conversion and folder picking.
    {1401, "Converting File", "ファイル変換"},
    {1402, "Measurement Data File(*.kmr)", "測定データファイル(*.kmr)"},
    {1403, "Data Folder Name:", "データフォルダ名:"},
    {1404, "Data File List:", "データファイル一覧:"},
    {1405, "Convert Data File(*.csv)", "変換データファイル(*.csv)"},
    {1406, "CSV Format Data Folder Name:", "CSV形式データフォルダ名:"},
    {1407, "CSV Format Data File Name:", "CSV形式データファイル名:"},
    {1408, "CSV Format Data File List:", "CSV形式データファイル一覧:"},
    {1409, "Convert >>", "変換 >>"},
    {1410, "Select", "選択"},
    {1411, "Cancel", "キャンセル"},
    {1412, "Select All", "すべて選択"},
    {1413, "Cancel All", "すべて解除"},
    {1414, "Large Icons", "大きいアイコン"},
    {1415, "Small Icons", "小さいアイコン"},
    {1416, "List", "一覧"},
    {1417, "Details", "詳細"},
    {1418, "Name", "名前"},
    {1419, "Size", "サイズ"},
    {1420, "Modified", "更新日時"},
    {1450, "Folder:", "フォルダ:"},
    {1451, "Drive:", "ドライブ:"},

    // Balance form.
    {1501, "Balance", "バランス"},
    {1502, "Comment", "コメント"},
    {1503, "Balance", "バランス"},
    {1504, "Ch.No.", "CH No."},
    {1505, "Data", "データ"},
    {1506, "Ch. 1", "CH 1"},
    {1507, "Ch. 2", "CH 2"},
    {1508, "Ch. 3", "CH 3"},
    {1509, "Ch. 4", "CH 4"},
    {1510, "Ch. 5", "CH 5"},
    {1511, "Ch. 6", "CH 6"},
    {1512, "Ch. 7", "CH 7"},
    {1513, "Ch. 8", "CH 8"},
    {1514, "Ch. 9", "CH 9"},
    {1515, "Ch.10", "CH10"},

    // Self-check form.
    {1601, "Check", "チェック"},
    {1602, "ROM", "ROM"},
    {1603, "RAM", "RAM"},
    {1604, "Insulation", "絶縁"},
    {1605, "Initial", "初期値"},
    {1606, "Direct", "直読"},
    {1607, "Sence", "感度"},
    {1608, "Execute", "実行"},
    {1609, "Comment", "コメント"},
    {1610, "Check", "チェック"},
    {1611, "Ch.", "CH"},

    // About window. 1707 follows an instrument name, hence its leading blank.
    {1701, "About KMR-5300", "KMR-5300 のバージョン情報"},
    {1702,
     "This software is designed for monitoring measurement and data storage using VNT digital "
     "dynamics strainmeter(KMR-530A/510C).",
     "本ソフトウェアは、VNT デジタル動ひずみ測定器(KMR-530A/510C)を使用した測定のモニタと"
     "データ収録のためのソフトウェアです。"},
    {1703, "", ""},
    {1704, "Applicable Instruments:KMR-530A,KMR-510C", "対象機種:KMR-530A,KMR-510C"},
    {1705, "Data storage software", "データ収録ソフトウェア"},
    {1706, "Digital dynamics strainmeter", "デジタル動ひずみ測定器"},
    {1707, " is not connected.", " は接続されていません。"},

    // Output-calibration form.
    {1801, "Output Calibration", "出力校正"},
    {1802, "Ch.", "CH"},
    {1803, "Unit", "単位"},
    {1804, "On/Off", "ON/OFF"},
    {1805, "Cal.", "校正"},
    {1806, "Value", "校正値"},
    {1807, "[KMR]", "[KMR]"},
    {1808, "+Cal", "+Cal"},
    {1809, "0", "0"},
    {1810, "-Cal", "-Cal"},

    // The command-line tool kmr. Texts that a value follows end in a blank or a quote; 2012
    // and 2013 surround the interface after 2011 + address.
    {2001, "Usage: kmr COMMAND [ARGUMENTS]", "使い方: kmr コマンド [引数]"},
    {2002, "Commands:", "コマンド:"},
    {2003,
     "Exit status: 0 when everything was done, 1 when something failed (the reason is on\n"
     "standard error), 2 for wrong usage.",
     "終了コード: すべて成功すると 0、失敗があると 1 (理由は標準エラー出力)、使い方の誤りは 2。"},
    {2004, "unknown command \"", "不明なコマンド \""},
    {2005, "--out needs a folder", "--out にはフォルダが必要です"},
    {2006, "unknown option ", "不明なオプション "},
    {2007, "the output folder does not exist: ", "出力フォルダがありません: "},
    {2008, "not converted", "変換されませんでした"},
    {2009, "cancelled", "中止しました"},
    {2010, "the recording in this file was cancelled or did not complete.",
     "このファイルの測定は中止されたか、保存が完了していません。"},
    {2011, "the instrument cannot be reached at GP-IB address ", "GP-IBアドレス "},
    {2012, " (interface ", " の測定器と通信できません (インターフェース "},
    {2013, "); nothing was recorded.", ")。何も記録していません。"},
    {2014, "start-up was abandoned; nothing was recorded.", "起動を中止しました。何も記録していません。"},
    {2015, "the recording could not be started.", "測定を開始できませんでした。"},
    {2016, "no data file was written (no samples, or no trigger time).",
     "データファイルは書かれませんでした (データなし、またはトリガ時刻なし)。"},
    {2017, " is incomplete (cancelled or broken off).", " は不完全です (中止または中断)。"},
    {2018, "unexpected argument \"", "不明な引数 \""},
    {2019, "standard output cannot be written", "標準出力に書き込めません"},
    {2020, "Stopped: the samples recorded so far are transferred (Ctrl+C again cancels).",
     "停止しました。ここまでのデータを転送します (もう一度 Ctrl+C で中止)。"},
    {2021, ").", ")。"},
    {2022, "start-up was abandoned.", "起動を中止しました。"},
    {2023, "a check reported an error (marked *, or a failed exchange above).",
     "エラーを報告したチェックがあります (* 印、または上の通信エラー)。"},
    {2024, "channel ", "チャネル "},
    {2025, " is not a measured strain channel: ", " は測定中のひずみチャネルではありません: "},
    {2026, "no strain channel is measured.", "測定中のひずみチャネルがありません。"},
    {2027, "the monitor values cannot be read.", "モニタ値を読めません。"},
    {2028, "before", "前"},
    {2029, "after", "後"},
    {2030, "the balance did not complete.", "バランスが完了しませんでした。"},

    // Data files beyond the forms: the part files a failed conversion removed again.
    {2031, "%1 needs a value.", "%1 には値が必要です。"},
    {2032, "Usage: ", "使い方: "},
    {2033, "print the header of data files, one \"Name: value\" line per field (--json: a JSON array, one object "
           "per file)",
     "データファイルのヘッダを、項目ごとに \"名前: 値\" の 1 行で表示 (--json: ファイルごとに 1 オブジェクトの JSON 配列)"},
    {2034, "convert data files to CSV or HDF5 (beside each file, or in DIR), whole or some channels from one time to "
           "another (seconds, both ends included); --whole-channels: the whole channels of a cancelled file",
     "データファイルを CSV または HDF5 に変換 (各ファイルの隣、または DIR に)。全体、または一部のチャネルの指定した"
     "時刻から時刻まで (秒、両端を含む)。--whole-channels: 中止されたファイルの完全なチャネル"},
    {2035, "record one measurement with the stored conditions and print the path of the file written",
     "保存された条件で 1 回測定し、書き込んだファイルのパスを表示"},
    {2036, "run the instrument's self-checks and print the results table", "測定器の自己チェックを実行し、結果の表を表示"},
    {2037, "balance the strain channels and print the values before and after",
     "ひずみチャネルをバランスし、前後の値を表示"},
    {2038, "the folder %1 cannot be written to: convert into one that can with --out DIR.",
     "フォルダ %1 に書き込めません。書き込めるフォルダを --out DIR で指定して変換してください。"},
    {2039, "%1 is a file, not a folder: --out names the folder the files are written to.",
     "%1 はファイルです。フォルダではありません。--out には変換したファイルを書くフォルダを指定してください。"},
    {2101, "Removed: ", "削除しました: "},
    {2102, "Could not be removed: ", "削除できませんでした: "},

    // The check of a data file's header: what is wrong. "%1" ... are the numbers of the sentence.
    {2201, "Damaged header: ", "ヘッダが壊れています: "},
    {2202, "The file is %1 bytes long, shorter than the 1100-byte header of a data file.",
     "ファイルの長さが %1 バイトで、データファイルのヘッダ (1100 バイト) より短いです。"},
    {2203, "It does not begin with the signature of a data file.", "データファイルの識別子で始まっていません。"},
    {2204, "Its recording was cancelled or did not complete.", "この測定は中止されたか、保存が完了していません。"},
    {2205, "the %1 text at byte %2 has length %3 instead of %4.", "%2 バイト目のテキストの長さが %3 です (正しくは %4)。"},
    {2206, "memory words %1 outside 1 to %2.", "メモリワード数 %1 が 1～%2 の範囲外です。"},
    {2207, "stored words %1 outside 0 to the memory words %2.", "保存ワード数 %1 が 0～メモリワード数 %2 の範囲外です。"},
    {2208, "pre-memory words %1 outside 0 to the memory words %2.",
     "プリメモリワード数 %1 が 0～メモリワード数 %2 の範囲外です。"},
    {2209, "sampling clock %1 ms is not a clock of the instrument.",
     "サンプリングクロック %1 ms は本器のクロックではありません。"},
    {2210, "trigger mode %1 is not 0, 1 or 2.", "トリガモード %1 が 0、1、2 のいずれでもありません。"},
    {2211, "averaging %1 outside 0 to 10.", "平均化 %1 が 0～10 の範囲外です。"},
    {2212, "the %1 of channel %2 is outside its range.", "チャネル %2 の%1が範囲外です。"},
    {2213, "on/off", "オン/オフ"},
    {2214, "input mode", "入力モード"},
    {2215, "filter", "フィルタ"},
    {2216, "coefficient", "係数"},
    {2217, "decimal point", "小数点"},
    {2218, "unit", "単位"},
    {2219, "data trigger on/off", "データトリガのオン/オフ"},
    {2220, "data trigger level", "データトリガレベル"},
    {2221, "offset", "オフセット"},
    {2222, "the channel count %1 does not match the %2 channels switched on (1 to 10 expected).",
     "チャネル数 %1 がオンのチャネル数 %2 と一致しません (1～10)。"},
    {2223, "The file is cut short: %1 bytes, but its %2 channels of %3 samples need %4.",
     "ファイルが途中で切れています: %1 バイトですが、%2 チャネル × %3 サンプルには %4 バイト必要です。"},
    {2224, "The file is %1 bytes long, but its header implies %2 bytes: the header or the file may be damaged, "
           "or the file was written over a longer one.",
     "ファイルの長さは %1 バイトですが、ヘッダからは %2 バイトのはずです: ヘッダかファイルが壊れているか、"
     "長いファイルの上に書かれた可能性があります。"},

    // The message box's own buttons.
    {2301, "Retry", "再試行"},
};

template <std::size_t A, std::size_t B>
constexpr std::array<TextRow, A + B> Joined(const TextRow (&a)[A], const TextRow (&b)[B]) {
    std::array<TextRow, A + B> out{};
    for (std::size_t i = 0; i < A; ++i) out[i] = a[i];
    for (std::size_t i = 0; i < B; ++i) out[A + i] = b[i];
    return out;
}

constexpr auto kRows = Joined(kFirstRows, text_rows::kLaterRows);
constexpr std::size_t kRowCount = kRows.size();

constexpr bool RowsAscending() {
    for (std::size_t i = 1; i < kRowCount; ++i)
        if (kRows[i - 1].id >= kRows[i].id) return false;
    return true;
}
static_assert(RowsAscending(), "text rows must be sorted by identifier without repeats");
static_assert(kRowCount == 475, "the text table holds 475 identifiers");

}  // namespace

std::span<const TextRow> TextRows() { return {kRows.data(), kRows.size()}; }

}  // namespace kmr
