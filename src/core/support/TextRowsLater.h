#pragma once
// The text table's later rows (from 2401 on): a lost instrument and the way back, the files a
// recording is written to, parts of data files and the HDF5 export, the status strip and the
// cursor readout, stored records, why a GP-IB route cannot be opened or was lost, the reasons
// the network and the library loader give, and damaged condition files left as they were. Only
// TextRows.cpp includes this; it joins them after the first rows.
#include "core/support/TextRows.h"

namespace kmr::text_rows {

// Sorted by identifier, all above the first rows' (checked where they are joined).
inline constexpr TextRow kLaterRows[] = {
    // When the instrument is lost, and the way back.
    {2400, "A measurement is running. Stop it before you quit.",
     "測定中です。終了する前に測定を停止してください。"},
    {2401, "The instrument does not answer (%1): the measurement has ended.",
     "測定器が応答しません (%1): 測定を終了しました。"},
    {2402, "No data file was written.", "データファイルは作成されていません。"},
    {2403, "%1 is marked cancelled. Complete channels: %2.",
     "%1 には中止の印を付けました。完全なチャネル: %2。"},
    {2404, "none", "なし"},
    {2405, "The instrument did not answer %1 as expected: the balance has ended. The channels may not be balanced.",
     "測定器が %1 に正しく応答しませんでした: バランスを終了しました。バランスが取れていないチャネルがある可能性があります。"},
    {2406, "The instrument did not answer %1 as expected. The results shown are those received.",
     "測定器が %1 に正しく応答しませんでした。表示している結果は受信できた分だけです。"},
    {2407, "The instrument did not answer %1 as expected: the calibration output may still be on.",
     "測定器が %1 に正しく応答しませんでした: 校正出力がオンのままになっている可能性があります。"},
    {2408, "The transfer was cancelled.", "転送を中止しました。"},
    {2409, "The instrument did not answer %1 as expected: the transfer has ended.",
     "測定器が %1 に正しく応答しませんでした: 転送を終了しました。"},
    {2410, "Connect", "接続"},
    {2411, "Waiting for the instrument's reply to %1 ...", "測定器の応答を待っています (%1)..."},
    {2412, "The measurement was stopped before the trigger: no data file was written.",
     "トリガ前に測定を停止しました: データファイルは作成されていません。"},
    {2413, "The instrument does not answer (%1): the measurement was not started.",
     "測定器が応答しません (%1): 測定を開始できませんでした。"},
    {2414, "The instrument did not answer %1 as expected: the live values have stopped.",
     "測定器が %1 に正しく応答しませんでした: モニタ値の表示を終了しました。"},
    {2415, "%1 keeps the complete channels: %2.", "%1 には完全なチャネルが残っています: %2。"},
    {2416, "The check was cancelled. The results shown are those received.",
     "チェックを中止しました。表示している結果は受信できた分だけです。"},
    {2417, "The instrument does not answer (%1): the live values have stopped. Check the instrument and its cable, "
           "then press Moni. On again.",
     "測定器が応答しません (%1): モニタ値の表示を終了しました。測定器とケーブルを確認してから、もう一度"
     "「モニタ オン」を押してください。"},
    {2418, "GP-IB addresses are 0 to 30: correct the address in Cond/Meter.cnd.",
     "GP-IB アドレスは 0 から 30 までです。Cond/Meter.cnd のアドレスを直してください。"},
    {2419, "The instrument does not have these channels: %1. Switch them off.",
     "測定器には次のチャネルがありません: %1。オフにしてください。"},
    {2420, "The instrument's memory holds %1 words per channel: the memory words were set to %1 and the pre-trigger "
           "words (%2) to 0. Check them in Meas. Cond. Settings.",
     "測定器のメモリは 1 チャネルあたり %1 ワードです: メモリワード数を %1 に、プリメモリ (%2) を 0 に"
     "しました。測定条件設定で確認してください。"},
    {2421, "The data folder %1 cannot be used (is its drive attached?): data files now go to %2. Choose the folder "
           "again in Data File Settings when it is back.",
     "データフォルダ %1 を使えません (ドライブは接続されていますか?)。データファイルは %2 に保存します。フォルダが"
     "使えるようになったら、データファイル設定でもう一度選んでください。"},
    {2422, "The instrument did not answer %1 as expected for channel %2: that channel is left out, and the others "
           "were transferred.",
     "チャネル %2 で測定器が %1 に正しく応答しませんでした: そのチャネルは除き、ほかのチャネルは転送しました。"},
    {2423, "The instrument answered %1 with %2: the measurement has ended.",
     "測定器は %1 に %2 と応答しました: 測定を終了しました。"},
    {2424, "The instrument answered %1 with %2: the measurement was not started.",
     "測定器は %1 に %2 と応答しました: 測定を開始しませんでした。"},
    {2425, "The instrument answered %1 with %2: it may still be recording. The measurement goes on; press Stop "
           "to try again (refused again, the measurement ends there without a data file).",
     "測定器は %1 に %2 と応答しました: まだ測定中の可能性があります。測定は続けます。もう一度ストップを押してください"
     " (再び拒否された場合は、データファイルを保存せずに測定を終了します)。"},
    {2426, "The instrument answered %1 with %2: it may still be recording. The measurement goes on; Stop saves "
           "what it counted so far.",
     "測定器は %1 に %2 と応答しました: まだ測定中の可能性があります。測定は続けます。ストップを押すと、それまでに数えたデータを保存します。"},
    {2427, "the instrument at GP-IB address %1 (interface %2) answered %3 with %4.",
     "GP-IBアドレス %1 の測定器 (インターフェース %2) は %3 に %4 と応答しました。"},
    {2430, "The delimiter is 0 (CR/LF) or 1 (CR): correct the delimiter in Cond/Meter.cnd.",
     "デリミタは 0 (CR/LF) か 1 (CR) です。Cond/Meter.cnd のデリミタを直してください。"},

    // Files a recording is written to: names, folders, a save elsewhere, incomplete files.
    {2501, "The file name is too long: %1 bytes in UTF-8, but at most %2 are possible (the file system takes "
           "%3 bytes, and the program adds the number, the part letter and the extension).",
     "ファイル名が長すぎます: UTF-8 で %1 バイトですが、使えるのは %2 バイトまでです (ファイルシステムの上限は "
     "%3 バイトで、プログラムが番号、パート記号、拡張子を付け加えます)。"},
    {2502, "The data folder does not exist and cannot be made again:", "データフォルダが存在せず、作り直すこともできません:"},
    {2503, "No file can be made in the data folder:", "データフォルダにファイルを作成できません:"},
    {2504, "Choose another data folder or name in File > Data File Settings. Nothing was sent to the instrument.",
     "[ファイル] > [データファイル設定] で別のデータフォルダか名前を選んでください。測定器には何も送っていません。"},
    {2505, "The recording is still in the instrument's memory. Do you want to save it in another folder?",
     "測定データは測定器のメモリに残っています。別のフォルダに保存しますか？"},
    {2506, "The data file could not be written in ", "データファイルを書き込めませんでした: "},
    {2507, "; the recording is still in the instrument's memory, but nothing was saved.",
     "。測定データは測定器のメモリに残っていますが、何も保存していません。"},
    {2509, "%1 file(s) converted, %2 not converted.", "%1 個のファイルを変換しました。%2 個は変換していません。"},
    {2510, "whole channels: %1 (kmr convert --whole-channels converts them).",
     "完全なチャネル: %1 (kmr convert --whole-channels で変換できます)。"},
    {2511, "no channel of this file is whole.", "このファイルに完全なチャネルはありません。"},
    {2512, "These condition files could not be read as written: the values read from them were kept and the rest "
           "set to their defaults. Check those settings, since a damaged file can give wrong values. Each file as "
           "it was is kept beside it with \".damaged\" added to its name:",
     "次の条件ファイルは書かれたとおりに読めませんでした。読めた値を使い、残りは初期値に戻しました。壊れたファイル"
     "からは誤った値が読まれることがあるため、設定を確認してください。元のファイルは名前に \".damaged\" を付けて"
     "残してあります:"},
    {2513, "The monitor span must not be shorter than the pitch.", "モニタのスパンはピッチより短くできません。"},
    {2514, "The pre-trigger memory must be smaller than the memory.", "プリメモリはメモリワード数より小さくしてください。"},
    {2515, "The folder no longer exists:", "フォルダはもう存在しません:"},
    {2516, "Cannot write the file \"%1\": %2.", "ファイル \"%1\" に書き込めません: %2。"},
    {2517, "The file %1 has changed since it was shown, so it no longer holds what the charts show. Open it again "
           "(File > Open Data File...) to export from it.",
     "ファイル %1 は表示した後に変更されたため、グラフの表示内容と一致しません。エクスポートするには、もう一度"
     "開いてください ([ファイル] > [データファイルを開く])。"},
    {2518, "The file %1 does not exist: it may have been moved, renamed or deleted.",
     "ファイル %1 がありません。移動、名前の変更または削除された可能性があります。"},
    {2519, "%1 is a folder, not a data file.", "%1 はフォルダです。データファイルではありません。"},
    {2520, "Set it in File > Meas. Cond. Settings. Nothing was sent to the instrument.",
     "[ファイル] > [測定条件設定] で設定してください。測定器には何も送っていません。"},
    {2521, "The picture could not be made.", "画像を作成できませんでした。"},
    {2522, "No temporary name beside it is free (.tmp, .1.tmp ... .9.tmp are all taken).",
     "一時ファイル名 (.tmp、.1.tmp ～ .9.tmp) がすべて使用中です。"},
    {2523, "The instrument still holds the recording of the run that ended when it stopped answering: %1 of %2 "
           "samples per channel. Transfer it now?\r\nNo: the recording is given up.",
     "応答が途絶えて終了した測定の記録が測定器に残っています: %1/%2 データ (チャネルごと)。今すぐ転送しますか?"
     "\r\n[いいえ]: この記録は破棄されます。"},
    {2524, "If the instrument still holds the recording when it answers again, the program offers to transfer it "
           "before anything else is sent.",
     "測定器が再び応答したときに記録が残っていれば、ほかの指示を送る前に転送するかどうかを確認します。"},

    // A part of a data file to convert (channels, time range) and the HDF5 export.
    {2601, "channel %1 is not in the file (its channels: %2).", "チャネル %1 はファイルにありません (ファイルのチャネル: %2)。"},
    {2602, "no sample lies between %1 s and %2 s (the file's %4 samples per channel lie from 0 s to %3 s).",
     "%1 秒から %2 秒の間にデータがありません (ファイルのチャネルごとの %4 データは 0 秒から %3 秒まで)。"},
    {2603, "samples %1 to %2 are not in the file (it holds %3 per channel).",
     "データ %1 から %2 はファイルにありません (チャネルごとに %3 データ)。"},
    {2604, "HDF5 export is not available in this build of the program.", "このビルドでは HDF5 出力を使えません。"},
    {2605, "--format must be csv or hdf5: ", "--format は csv か hdf5 です: "},
    {2606, "--compress needs --format hdf5", "--compress には --format hdf5 が必要です"},
    {2607, "--channels needs a list of channels such as 1,3,5-7: ", "--channels にはチャネルの並び (例 1,3,5-7) が必要です: "},
    {2608, " needs a time in seconds: ", " には秒単位の時刻が必要です: "},
    {2609, "the HDF5 library reported an error.", "HDF5 ライブラリがエラーを報告しました。"},

    // The status strip and the cursor readout.
    {2701, "Waiting for trigger", "トリガ待ち"},
    {2702, "Recording", "記録中"},
    {2703, "Data file: %1", "データファイル: %1"},
    {2704, "Stopped early: %1 of %2 samples per channel were kept in %3",
     "途中で停止しました: %1/%2 データ (チャネルごと) を %3 に保存しました"},
    {2705, "Min.", "最小"},
    {2706, "Max.", "最大"},
    {2707, "Mean", "平均"},
    {2708, "Measuring in high-speed mode: the instrument is recording.", "高速モードで測定中です: 測定器が記録しています。"},
    {2709, "Incomplete data file: %1", "不完全なデータファイル: %1"},

    // Stored records: opening, the conditions beside the charts, the exports of charts and ranges.
    {2801, "Opening data file...", "データファイルを開いています..."},
    {2802, "A measurement is running: open the stored record when it has ended.",
     "測定中です。保存した記録は測定が終わってから開いてください。"},
    {2803, "This recording was cancelled or did not complete. Shown: the complete channels %1. Not whole in the "
           "file: %2.",
     "この測定は中止されたか、保存が完了していません。表示しているのは完全なチャネル %1 です。ファイルに完全には"
     "ないチャネル: %2。"},
    {2804, "&Open Data File...", "データファイルを開く(&O)..."},
    {2805, "Export &Charts...", "グラフを出力(&C)..."},
    {2806, "Export &Range...", "範囲を出力(&R)..."},
    {2807, "Conditions of the record", "記録の条件"},
    {2808, "The record shown is not stored in a .kmr data file, so its range cannot be exported.",
     "表示中の記録は .kmr データファイルに保存されていないため、範囲を出力できません。"},
    {2809, "No record is shown.", "記録が表示されていません。"},
    {2811, "File", "ファイル"},
    {2812, "Trigger Time", "トリガ時刻"},
    {2813, "Stored Words", "保存ワード数"},
    {2814, "Recording Time", "記録時間"},
    {2815, "Model", "機種"},
    {2816, "KMR-530A or KMR-510C", "KMR-530A または KMR-510C"},
    {2817, "State", "状態"},
    {2818, "complete", "完全"},
    {2819, "cancelled or incomplete", "中止または不完全"},
    {2820, "Recorded with the 5.0 V bridge voltage of a KMR-510C, which the connected KMR-530A does not have.",
     "KMR-510C の 5.0 V ブリッジ電圧で記録されています。接続中の KMR-530A にはこの電圧はありません。"},
    {2821, "Export Range", "範囲の出力"},
    {2822, "The time range shown: %1 s to %2 s", "表示中の時間範囲: %1 秒～%2 秒"},
    {2823, "Between cursors A and B: %1 s to %2 s", "カーソル A と B の間: %1 秒～%2 秒"},
    {2824, "Channels", "チャネル"},
    {2825, "Format", "形式"},
    {2826, "Export Charts", "グラフの出力"},
    {2827, "The charts could not be written:", "グラフを書き込めませんでした:"},
    {2828, "PNG image (*.png)", "PNG 画像 (*.png)"},
    {2829, "PDF document (*.pdf)", "PDF 文書 (*.pdf)"},
    {2830, "CSV file (*.csv)", "CSV ファイル (*.csv)"},
    {2831, "HDF5 file (*.h5)", "HDF5 ファイル (*.h5)"},
    {2832, "Data file (*.kmr)", "データファイル (*.kmr)"},
    {2833, "Choose at least one channel.", "チャネルを 1 つ以上選んでください。"},
    {2834, "Written: %1", "書き込みました: %1"},
    {2835, "%1  %2 s to %3 s", "%1  %2 秒～%3 秒"},
    {2836, "Off", "オフ"},
    {2837, "On", "オン"},
    {2838, "Open Data File", "データファイルを開く"},
    {2839, "KMR-5300: data storage software for the KMR-530A / KMR-510C strainmeter",
     "KMR-5300: KMR-530A / KMR-510C ひずみ測定器のデータ収録ソフトウェア"},
    {2840, "The route to the instrument for this run: %1", "この実行での測定器への経路: %1"},
    {2841, "Use the built-in simulated instrument (--interface sim).", "内蔵の模擬測定器を使う (--interface sim)。"},
    {2842, "A stored record to open.", "開く保存済みの記録。"},

    // The GP-IB routes: why one cannot be opened, as the connection's message says it.
    {2901, "%1 Accepted forms: %2.", "%1使える形式: %2。"},
    {2902, "The interface %1 is not understood: after \"gpib:\" only lib=PATH may follow.",
     "インターフェース %1 が分かりません: \"gpib:\" の後には lib=PATH しか書けません。"},
    {2903, "The interface %1 names no VISA resource.", "インターフェース %1 に VISA リソースがありません。"},
    {2904, "The interface %1 is not understood: lib= must name the VISA library file.",
     "インターフェース %1 が分かりません: lib= には VISA ライブラリのファイルを指定してください。"},
    {2905, "The interface %1 is not understood: give one lib=PATH at most, first.",
     "インターフェース %1 が分かりません: lib=PATH は先頭に 1 つだけ書いてください。"},
    {2906, "The interface %1 lacks the closing \"]\".", "インターフェース %1 に閉じる \"]\" がありません。"},
    {2907, "The interface %1 is not understood.", "インターフェース %1 が分かりません。"},
    {2908, "The interface %1 names no host: write prologix:HOST or prologix:HOST:PORT, for example "
           "prologix:192.168.1.20 or prologix:127.0.0.1:1234.",
     "インターフェース %1 にホストがありません: prologix:HOST または prologix:HOST:PORT の形で書いて"
     "ください (例: prologix:192.168.1.20、prologix:127.0.0.1:1234)。"},
    {2909, "The interface %1 has no valid port: a port is a number from 1 to 65535.",
     "インターフェース %1 のポートが正しくありません: ポートは 1 から 65535 までの数です。"},
    {2910, "The simulated instrument of %1 is not understood: %2.", "インターフェース %1 の模擬測定器の指定が分かりません: %2。"},
    {2911, "The interface spec is empty.", "インターフェースの指定が空です。"},
    {2912, "The interface %1 is not one the program knows.", "インターフェース %1 には対応していません。"},
    {2913, "Cannot connect to the GP-IB adapter at %1: %2. Check that the adapter (or kmr-sim) is running there.",
     "%1 の GP-IB アダプタに接続できません: %2。アダプタ (または kmr-sim) がそこで動いているか確認して"
     "ください。"},
    {2914, "The device at %1 closed the connection while it was set up.", "%1 の機器が接続の設定中に接続を閉じました。"},
    {2915, "The device at %1 did not answer ++ver within the timeout: another program may be connected to it (an "
           "adapter serves one at a time), or it is not a GP-IB adapter.",
     "%1 の機器が時間内に ++ver に応答しませんでした: 別のプログラムが接続している (アダプタに接続"
     "できるのは一度に 1 つです) か、GP-IB アダプタではありません。"},
    {2916, "The device at %1 does not answer like a GP-IB adapter (its answer to ++ver is not a line of text).",
     "%1 の機器は GP-IB アダプタとして応答しません (++ver への応答が 1 行の文字列ではありません)。"},
    {2917, "No instrument answers at GP-IB address %1 behind the adapter at %2. Check the address in Meter.cnd and "
           "that the instrument is on and connected.",
     "%2 のアダプタの先の GP-IB アドレス %1 で測定器が応答しません。Meter.cnd のアドレスと、測定器の"
     "電源と接続を確認してください。"},
    {2918, "The connection to the GP-IB adapter at %1 was closed. Check the adapter and its network, then reconnect.",
     "%1 の GP-IB アダプタとの接続が切れました。アダプタとネットワークを確認してから、接続し直して"
     "ください。"},
    {2919, "The GP-IB adapter is busy.", "GP-IB アダプタが使用中です。"},
    {2920, "No NI-488.2 GP-IB library could be loaded; tried %1. Install the GP-IB driver (linux-gpib or NI-488.2), "
           "or name its library as gpib:lib=PATH in Interface.cnd.",
     "NI-488.2 の GP-IB ライブラリを読み込めません (試したもの: %1)。GP-IB ドライバ (linux-gpib または "
     "NI-488.2) をインストールするか、そのライブラリを Interface.cnd に gpib:lib=PATH として指定してください。"},
    {2921, "The GP-IB library %1 has no %2; it is not an NI-488.2-compatible library.",
     "GP-IB ライブラリ %1 に %2 がありません。NI-488.2 互換のライブラリではありません。"},
    {2922, "The GP-IB library %1 offers neither the status functions ThreadIbsta, ThreadIberr and ThreadIbcnt nor "
           "the status variables ibsta, iberr and ibcnt; the program cannot tell how a call ended.",
     "GP-IB ライブラリ %1 には状態関数 ThreadIbsta、ThreadIberr、ThreadIbcnt も状態変数 ibsta、iberr、"
     "ibcnt もありません。呼び出しの結果が分からないため使えません。"},
    {2923, "The GP-IB library %1 cannot open board %2, address %3.", "GP-IB ライブラリ %1 でボード %2、アドレス %3 を開けません。"},
    {2924, "No VISA library could be loaded; tried %1. Install a VISA library, or name it as visa:lib=PATH in "
           "Interface.cnd.",
     "VISA ライブラリを読み込めません (試したもの: %1)。VISA ライブラリをインストールするか、"
     "Interface.cnd に visa:lib=PATH として指定してください。"},
    {2925, "The VISA library %1 has no %2.", "VISA ライブラリ %1 に %2 がありません。"},
    {2926, "%1 on %2 gave %3.", "%2 で %1 が %3 を返しました。"},
    {2927, "The VISA session is not open.", "VISA セッションが開いていません。"},

    // The GP-IB routes after the open: a connection lost and not made again, a reply too long or
    // too late. Then the reasons the network and the library loader give, joined into the
    // sentences above (lower case, without a full stop, as the system's own reasons are).
    {2928, "The connection to the GP-IB adapter at %1 was lost, and connecting again failed: %2",
     "%1 の GP-IB アダプタとの接続が切れ、接続し直すこともできませんでした: %2"},
    {2929, "The instrument sent more than the %1 bytes asked for (through the GP-IB adapter at %2); the rest was "
           "dropped.",
     "測定器が要求した %1 バイトを超えて送信しました (%2 の GP-IB アダプタ経由)。残りは破棄しました。"},
    {2930, "The instrument did not answer within %1 ms (through the GP-IB adapter at %2).",
     "測定器が %1 ms 以内に応答しませんでした (%2 の GP-IB アダプタ経由)。"},
    {2931, "Timeout code %1 is unknown.", "タイムアウトコード %1 は不明です。"},
    {2932, "GP-IB address %1 is outside 0 to 30.", "GP-IB アドレス %1 が 0～30 の範囲外です。"},
    {2933, "The GP-IB adapter is not connected.", "GP-IB アダプタに接続していません。"},
    {2934, "The device is not open.", "機器が開かれていません。"},
    {2935, "The GP-IB adapter is still sending an earlier reply.", "GP-IB アダプタがまだ前の応答を送信中です。"},
    {2936, "The GP-IB adapter does not take data.", "GP-IB アダプタがデータを受け付けません。"},
    {2937, "The VISA session was lost (%1), and opening it again failed: %2",
     "VISA セッションが失われ (%1)、開き直すこともできませんでした: %2"},
    {2938, "viOpen of the interface", "インターフェースの viOpen"},
    {2939, "The GP-IB device was lost, and the GP-IB library %1 cannot open board %2, address %3 again.",
     "GP-IB 機器との接続が失われ、GP-IB ライブラリ %1 でボード %2、アドレス %3 を開き直すこともできません。"},
    {2940, "The simulated instrument is not understood: %1.", "模擬測定器の指定が分かりません: %1。"},
    {2941, "Unknown interface.", "不明なインターフェースです。"},
    {2942, "Windows error %1", "Windows エラー %1"},
    {2943, "cannot be loaded", "読み込めません"},
    {2944, "no answer within %1 ms", "%1 ms 以内に応答がありません"},
    {2945, "unknown host \"%1\"", "ホスト \"%1\" が見つかりません"},
    {2946, "no usable address", "使用できるアドレスがありません"},
    {2947, "cannot configure the socket", "ソケットを設定できません"},
    {2948, "socket error %1", "ソケットエラー %1"},
    // Damaged condition files of which no copy could be made.
    {2949, "These condition files could not be read as written, and no copy of them could be made beside them: "
           "each file was left as it is, and the defaults are used for now. Saving those settings replaces the "
           "file, so copy it elsewhere first if you need what it holds:",
     "次の条件ファイルは書かれたとおりに読めず、そばにコピーを作ることもできませんでした。ファイルはそのまま"
     "残し、当面は初期値を使います。その設定を保存するとファイルは置き換えられるため、内容が必要な場合は先に"
     "別の場所へコピーしてください:"},
    // Where the connection's settings files are, under a failure to open the connection.
    {2950, "The connection is set in %1: Meter.cnd (GP-IB address, delimiter, attempts) and Interface.cnd (the "
           "route).",
     "接続の設定は %1 にある Meter.cnd (GP-IB アドレス、デリミタ、試行回数) と Interface.cnd (接続経路) です。"},
    // A balance, a check or a calibration output not made: the instrument was not ready for it.
    {2970, "The instrument did not answer %1 as expected: nothing was balanced.",
     "測定器が %1 に正しく応答しませんでした: バランスは取っていません。"},
    {2971, "The instrument did not answer %1 as expected: no check was made.",
     "測定器が %1 に正しく応答しませんでした: チェックは実行していません。"},
    {2972, "The instrument did not answer %1 as expected: no calibration output was started.",
     "測定器が %1 に正しく応答しませんでした: 校正出力は開始していません。"},
    // A trigger command that went unanswered: the instrument may be recording.
    {2990, "The instrument did not answer %1 and may have started recording: it is halted before it is given "
           "anything else.",
     "測定器が %1 に応答しませんでした。記録を開始している可能性があるため、ほかの指示の前に停止します。"},
    // Another program of this computer has the instrument open through the same route.
    {3050, "The instrument at GP-IB address %1 (route %2) is in use by another program of this computer: the "
           "KMR-5300 window or kmr record. Close that program, or wait until its run has ended, then connect again.",
     "GP-IB アドレス %1 (接続経路 %2) の測定器は、このコンピューターの別のプログラム (KMR-5300 のウィンドウ"
     "または kmr record) が使用中です。そのプログラムを閉じるか、その測定が終わるのを待ってから、もう一度接続"
     "してください。"},
    // Channels a transfer could not read whole: several of them, or every channel measured.
    {3060, "The instrument did not answer %1 as expected for channels %2: those channels are left out, and the "
           "others were transferred.",
     "チャネル %2 で測定器が %1 に正しく応答しませんでした: それらのチャネルは除き、ほかのチャネルは転送しました。"},
    {3061, "The instrument did not answer %1 as expected for channel %2: no channel was transferred.",
     "チャネル %2 で測定器が %1 に正しく応答しませんでした: 転送できたチャネルはありません。"},
    {3062, "The instrument did not answer %1 as expected for channels %2: no channel was transferred.",
     "チャネル %2 で測定器が %1 に正しく応答しませんでした: 転送できたチャネルはありません。"},
    // A data file by its signature that cannot be read; the file and the reason follow.
    {3240, "This data file cannot be read.", "このデータファイルは読み込めません。"},
    // A stored record whose folder cannot be reached (a disk unplugged, a network share not there).
    {3260, "The folder %1 of the file %2 cannot be reached: connect the disk or network drive it is on and open "
           "the file again.",
     "ファイル %2 のフォルダ %1 にアクセスできません。そのファイルのあるディスクまたはネットワーク ドライブを接続"
     "して、もう一度開いてください。"},
    // A picture of the charts chosen to replace a read-only file.
    {3261, "%1 is read-only and was not replaced: choose another name, or allow changes to the file and export "
           "again.",
     "%1 は読み取り専用のため、置き換えませんでした。別の名前を選ぶか、ファイルへの変更を許可してから、もう一度"
     "エクスポートしてください。"},
    // A balance the user cancelled while the instrument kept it waiting.
    {3280, "The balance was cancelled: nothing was balanced.", "バランスを中止しました: バランスは取っていません。"},
    {3281, "The balance was cancelled while the instrument was balancing: the channels may not be balanced.",
     "測定器がバランスを取っている間に中止しました: バランスが取れていないチャネルがある可能性があります。"},
    {3282, "The balance was cancelled after the channels were balanced: the instrument is given its measured "
           "channels again before the next reading.",
     "チャネルのバランスを取った後で中止しました: 次の読み取りの前に、測定するチャネルを測定器にもう一度設定します。"},
    // A name chosen in a save window that is taken.
    {3320, "%1 already exists. Do you want to replace it?", "%1 は既に存在します。置き換えますか？"},
    // What a file name typed in a save window cannot hold.
    {3321, "A file name cannot hold blanks or any of [ ] ; < = > ? * / \\ : \" |, nor be the name of a device "
           "such as CON or COM1. For example: %1",
     "ファイル名には空白と [ ] ; < = > ? * / \\ : \" | を使えず、CON や COM1 などのデバイス名にもできません。"
     "例: %1"},
    // The connection was made again during a run, and the instrument counts fewer samples than
    // it had recorded: it was restarted and the recording is gone.
    {3340, "The connection to the instrument was made again, and it now counts %1 samples of the %2 it had "
           "recorded: it was restarted and no longer holds the recording. The measurement has ended.",
     "測定器への接続をやり直したところ、記録済みの %2 サンプルに対して %1 サンプルと応答しました。測定器が再起動"
     "され、記録は残っていません。測定を終了しました。"},
    // A pipe, a device or a socket named where a data file is read.
    {3360, "%1 is not a regular file (a pipe, a device or a socket), not a data file.",
     "%1 は通常のファイルではありません（パイプ、デバイスまたはソケットです）。データファイルではありません。"},
    // A manual-trigger run (recording from its start) stopped before a sample was recorded.
    {3400, "The measurement was stopped before its first sample: no data file was written.",
     "最初のデータの前に測定を停止しました: データファイルは作成されていません。"},
    // A check or a calibration output the user cancelled while the instrument was being given its
    // conditions, before the first of its commands.
    {3420, "The check was cancelled: no check was made.", "チェックを中止しました: チェックは実行していません。"},
    {3421, "The calibration output was cancelled: no calibration output was started.",
     "校正出力を中止しました: 校正出力は開始していません。"},
    // kmr check and kmr balance ended by Ctrl+C or a signal: the command waited for was given its
    // attempt, the rest was tried once, and the instrument was closed as at a normal end.
    {3422, "ended on request (Ctrl+C or a signal): the checks after the one in progress were not made.",
     "要求により終了しました (Ctrl+C またはシグナル): 実行中のチェックより後のチェックは実行していません。"},
    {3423, "ended on request (Ctrl+C or a signal): nothing was checked.",
     "要求により終了しました (Ctrl+C またはシグナル): チェックは実行していません。"},
    {3424, "ended on request (Ctrl+C or a signal) during the balance: how far it got is said above.",
     "バランス中に要求により終了しました (Ctrl+C またはシグナル): どこまで進んだかは上のとおりです。"},
    {3425, "ended on request (Ctrl+C or a signal): nothing was balanced.",
     "要求により終了しました (Ctrl+C またはシグナル): バランスは取っていません。"},
    // A calibration output whose wait the user cancelled: the command it ended at.
    {3426, "The calibration output was cancelled at %1: the calibration output may still be on.",
     "%1 で校正出力を中止しました: 校正出力がまだ出ている可能性があります。"},
    // A typed data-file name refused: the box shows the name before again.
    {3560, "The name '%1' cannot be used: a file name cannot hold blanks, control characters or any of "
           "] [ ; < = > ? * / \\ : \" |, nor be a device name (CON, PRN, AUX, NUL, COM1, LPT1 ...).\n"
           "The name before is kept; type another name.",
     "名前 '%1' は使えません: ファイル名には空白、制御文字、] [ ; < = > ? * / \\ : \" | を使えず、"
     "デバイス名 (CON、PRN、AUX、NUL、COM1、LPT1 など) にもできません。\n"
     "前の名前のままです。別の名前を入力してください。"},
    {3561, "Type a name before the extension %1.\nThe name before is kept.",
     "拡張子 %1 の前に名前を入力してください。\n前の名前のままです。"},
    {3562, "The name '%1' cannot be used: \"_\" followed by 1 to 9 or by a to h is how the program numbers "
           "data files and letters CSV parts (\"_0\" may be used).\n"
           "The name before is kept; type the name without it.",
     "名前 '%1' は使えません: \"_\" の後に 1～9 または a～h が続く形は、プログラムがデータファイルの番号と "
     "CSV のパート記号に使います (\"_0\" は使えます)。\n"
     "前の名前のままです。それを含まない名前を入力してください。"},
    // A cancelled or unfinished data file refused by a conversion that holds whole channels.
    {3660, "Its whole channels can still be had: File > Open Data File... shows them and File > Export "
           "Range... writes them as CSV.",
     "完全なチャネルは取り出せます: [ファイル] > [データファイルを開く] で表示し、[ファイル] > [範囲を出力] で "
     "CSV に書き出してください。"},
    // The conversion's CSV name refused (the box shows "*.csv").
    {3662, "Type a CSV file name in the box: a name cannot hold blanks, control characters or any of "
           "] [ ; < = > ? * / \\ : \" |, nor be a device name (CON, PRN, AUX, NUL, COM1, LPT1 ...).",
     "ボックスに CSV ファイル名を入力してください: ファイル名には空白、制御文字、] [ ; < = > ? * / \\ : \" | を"
     "使えず、デバイス名 (CON、PRN、AUX、NUL、COM1、LPT1 など) にもできません。"},
    // A folder of the conversion window that cannot be used, replaced before it opens.
    {3663, "The folder %1 cannot be used (is its drive attached?): the conversion window shows %2 instead. "
           "Choose the folder again with its ... button when it is back.",
     "フォルダ %1 を使えません (ドライブは接続されていますか?)。ファイル変換には代わりに %2 を表示します。"
     "フォルダが使えるようになったら、[...] ボタンでもう一度選んでください。"},
    // A time range with one end only, a channel cut short (see the rows of 2601 and 2602).
    {3880, "no sample lies at or after %1 s (the file's %3 samples per channel lie from 0 s to %2 s).",
     "%1 秒以降にデータがありません (ファイルのチャネルごとの %3 データは 0 秒から %2 秒まで)。"},
    {3881, "no sample lies at or before %1 s (the file's %3 samples per channel lie from 0 s to %2 s).",
     "%1 秒以前にデータがありません (ファイルのチャネルごとの %3 データは 0 秒から %2 秒まで)。"},
    {3882, "channel %1 was cut short in the file, and only whole channels were asked for (its whole "
           "channels: %2).",
     "チャネル %1 はファイル内で途中までしかなく、完全なチャネルだけが指定されています (完全なチャネル: %2)。"},
    {3883, "This recording was marked cancelled or incomplete, but every channel in it is whole: %1.",
     "この測定は中止または未完了と記録されていますが、ファイルのチャネル %1 はすべて完全です。"},
};

}  // namespace kmr::text_rows
