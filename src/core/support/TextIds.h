#pragma once
// The names of the text table's identifiers. The table, and the files that store a text's number,
// keep the numbers; code names a text only through these.

namespace kmr::txt {

// Messages, titles and prompts of the windows
inline constexpr int GpibAddressLabel = 101;
inline constexpr int GpibErrorTitle = 102;
inline constexpr int CheckCommentMegohm = 103;
inline constexpr int CheckCommentOkOrErr = 104;
inline constexpr int CheckCommentRamCheck = 105;
inline constexpr int CheckCommentRomCheck = 106;
inline constexpr int ErrorTitle = 107;
inline constexpr int ContinueOffline = 108;
inline constexpr int HasOccurred = 109;
inline constexpr int NoGraphChannel = 110;
inline constexpr int AlreadyRunning = 111;
inline constexpr int WaitAMinute = 112;
inline constexpr int NotConditionFile = 113;
inline constexpr int CheckTitle = 114;
inline constexpr int NoMeasuredChannel = 115;
inline constexpr int HardDiskOnly = 116;
inline constexpr int DataTrigger = 117;
inline constexpr int NoDataTriggerChannel = 118;
inline constexpr int NoDataFileName = 119;
inline constexpr int DataFileNameExists = 120;
inline constexpr int ConfirmFileNameStart = 121;
inline constexpr int ConfirmFileNameEnd = 122;
inline constexpr int ProgramFullName = 123;
inline constexpr int TransferringAndDrawing = 124;
inline constexpr int NoEffectiveChannel = 126;
inline constexpr int DelimiterLabel = 127;
inline constexpr int DriveWord = 128;
inline constexpr int DriveNotReady = 129;
inline constexpr int DriveMediaAbnormal = 130;
inline constexpr int DriveNeedsOneMegabyte = 131;
inline constexpr int CannotWrite = 132;
inline constexpr int IsFixed = 133;
inline constexpr int CheckCommentZeroBalance = 135;
inline constexpr int CheckCommentAutobalance = 136;
inline constexpr int CheckCommentSensitivity = 137;
inline constexpr int CheckCommentInsulation = 138;
inline constexpr int ConvertingFile = 139;
inline constexpr int ImproperFileName = 140;
inline constexpr int FileNameMayOverlap = 141;
inline constexpr int NoRemoteSensing = 142;
inline constexpr int ProgramReady = 143;
inline constexpr int ConfirmQuit = 144;
inline constexpr int QuitTitle = 145;
inline constexpr int ManualTrigger = 146;
inline constexpr int MonitorOff = 147;
inline constexpr int MonitorOn = 148;
inline constexpr int LoadingErrorTitle = 149;
inline constexpr int ExternalTrigger = 150;
inline constexpr int ConfirmationTitle = 151;
inline constexpr int CheckCommentSensitivityStandard = 152;
inline constexpr int HighSpeedMode = 153;
inline constexpr int RetryQuestion = 154;
inline constexpr int NextDataFile = 155;
inline constexpr int SettingErrorTitle = 156;
inline constexpr int SaveChangesQuestion = 157;
inline constexpr int DiscardChangesQuestion = 158;
inline constexpr int StartButton = 159;
inline constexpr int StopButton = 160;
inline constexpr int NoMedia = 161;
inline constexpr int CannotCommunicate = 162;
inline constexpr int CannotBalance = 163;
inline constexpr int RegistrationButton = 164;
inline constexpr int MediaDestroyed = 165;
inline constexpr int MediaUnrecognised = 166;
inline constexpr int CloseTitle = 167;
inline constexpr int UnexpectedError = 168;
inline constexpr int CannotOpenPort = 169;
inline constexpr int DataFolderSettingsTitle = 170;
inline constexpr int MeasurementDataFolder = 172;
inline constexpr int CsvDataFolder = 173;
inline constexpr int DirectoryWord = 180;
inline constexpr int CannotSelect = 181;
inline constexpr int RestTime = 201;
inline constexpr int TooManyWordsStart = 202;
inline constexpr int WordsUnit = 203;
inline constexpr int TooManyWordsEnd = 204;
inline constexpr int CsvNotAFileType = 205;
inline constexpr int CautionTitle = 206;

// The main window's menus and the buttons every window shares
inline constexpr int FileMenu = 1001;
inline constexpr int MeasMenu = 1002;
inline constexpr int OptionMenu = 1003;
inline constexpr int DataFileSettingsItem = 1004;
inline constexpr int MeasCondSettingsItem = 1005;
inline constexpr int GraphCondSettingsItem = 1006;
inline constexpr int ConvertFileItem = 1007;
inline constexpr int QuitItem = 1008;
inline constexpr int MonitorItem = 1009;
inline constexpr int BalanceItem = 1010;
inline constexpr int StartItem = 1011;
inline constexpr int CheckItem = 1012;
inline constexpr int VersionItem = 1013;
inline constexpr int OkButton = 1014;
inline constexpr int CancelButton = 1015;
inline constexpr int YesButton = 1016;
inline constexpr int NoButton = 1017;
inline constexpr int BalanceButton = 1018;
inline constexpr int CloseButton = 1019;

// Data-file settings window
inline constexpr int DataFileSettingsTitle = 1101;
inline constexpr int DataFolderNameLabel = 1102;
inline constexpr int DataFileNameLabel = 1103;
inline constexpr int FileTypeLabel = 1104;
inline constexpr int OutputCalItem = 1105;

// Measurement-condition window
inline constexpr int MeasCondTitle = 1201;
inline constexpr int MeasConditionFrame = 1202;
inline constexpr int ChannelConditionFrame = 1203;
inline constexpr int TriggerModeLabel = 1204;
inline constexpr int SamplingClockLabel = 1205;
inline constexpr int MemoryWordLabel = 1206;
inline constexpr int PreMemoryLabel = 1207;
inline constexpr int AveragingLabel = 1208;
inline constexpr int MeasChannelHeading = 1209;
inline constexpr int MeasOnOffHeading = 1210;
inline constexpr int InputModeHeading = 1211;
inline constexpr int LowPassHeading = 1212;
inline constexpr int CoeffHeading = 1213;
inline constexpr int PointHeading = 1214;
inline constexpr int MeasUnitHeading = 1215;
inline constexpr int DataTriggerHeading = 1216;
inline constexpr int DataTriggerOnOffHeading = 1217;
inline constexpr int LevelHeading = 1218;
inline constexpr int OffsetHeading = 1219;

// Graph-condition window
inline constexpr int GraphCondTitle = 1301;
inline constexpr int XAxisFrame = 1302;
inline constexpr int YAxisFrame = 1303;
inline constexpr int XGridCheck = 1304;
inline constexpr int MonitorScaleFrame = 1305;
inline constexpr int GraphScaleFrame = 1306;
inline constexpr int MonitorSpanLabel = 1307;
inline constexpr int MonitorPitchLabel = 1308;
inline constexpr int MonitorDivLabel = 1309;
inline constexpr int XAutoScaleCheck = 1310;
inline constexpr int XMaxLabel = 1311;
inline constexpr int XMinLabel = 1312;
inline constexpr int XDivLabel = 1313;
inline constexpr int YChannelHeading = 1314;
inline constexpr int YOnOffHeading = 1315;
inline constexpr int YGridHeading = 1316;
inline constexpr int YScaleLabel = 1317;
inline constexpr int YAutoHeading = 1318;
inline constexpr int YMaxHeading = 1319;
inline constexpr int YMinHeading = 1320;
inline constexpr int YDivHeading = 1321;

// Conversion window and folder picker
inline constexpr int ConvertTitle = 1401;
inline constexpr int KmrFilesFrame = 1402;
inline constexpr int KmrFolderLabel = 1403;
inline constexpr int KmrFileListLabel = 1404;
inline constexpr int CsvFilesFrame = 1405;
inline constexpr int CsvFolderLabel = 1406;
inline constexpr int CsvFileNameLabel = 1407;
inline constexpr int CsvFileListLabel = 1408;
inline constexpr int ConvertButton = 1409;
inline constexpr int SelectButton = 1410;
inline constexpr int CancelSelectionItem = 1411;
inline constexpr int SelectAllItem = 1412;
inline constexpr int CancelAllItem = 1413;
inline constexpr int LargeIconsItem = 1414;
inline constexpr int SmallIconsItem = 1415;
inline constexpr int ListItem = 1416;
inline constexpr int DetailsItem = 1417;
inline constexpr int NameColumn = 1418;
inline constexpr int SizeColumn = 1419;
inline constexpr int ModifiedColumn = 1420;
inline constexpr int FolderLabel = 1450;
inline constexpr int DriveLabel = 1451;

// Balance window
inline constexpr int BalanceTitle = 1501;
inline constexpr int BalanceCommentLabel = 1502;
inline constexpr int BalanceRunButton = 1503;
inline constexpr int BalanceChannelHeading = 1504;
inline constexpr int BalanceDataHeading = 1505;
inline constexpr int BalanceChannel1 = 1506;

// Self-check window
inline constexpr int CheckWindowTitle = 1601;
inline constexpr int RomRow = 1602;
inline constexpr int RamRow = 1603;
inline constexpr int InsulationRow = 1604;
inline constexpr int InitialRow = 1605;
inline constexpr int DirectRow = 1606;
inline constexpr int SensitivityRow = 1607;
inline constexpr int ExecuteButton = 1608;
inline constexpr int CheckCommentLabel = 1609;
inline constexpr int CheckRunButton = 1610;
inline constexpr int CheckChannelHeading = 1611;

// About window
inline constexpr int AboutTitle = 1701;
inline constexpr int AboutPurpose = 1702;
inline constexpr int AboutBlankLine = 1703;
inline constexpr int AboutInstruments = 1704;
inline constexpr int AboutProgramName = 1705;
inline constexpr int AboutInstrumentName = 1706;
inline constexpr int AboutNotConnected = 1707;

// Output-calibration window
inline constexpr int OutputCalTitle = 1801;
inline constexpr int CalChannelHeading = 1802;
inline constexpr int CalUnitHeading = 1803;
inline constexpr int CalOnOffHeading = 1804;
inline constexpr int CalHeading = 1805;
inline constexpr int CalValueHeading = 1806;
inline constexpr int CalKmrHeading = 1807;
inline constexpr int PlusCalButton = 1808;
inline constexpr int ZeroCalButton = 1809;
inline constexpr int MinusCalButton = 1810;

// The command-line tool
inline constexpr int CliUsage = 2001;
inline constexpr int CliCommands = 2002;
inline constexpr int CliExitStatus = 2003;
inline constexpr int CliUnknownCommand = 2004;
inline constexpr int CliOutNeedsFolder = 2005;
inline constexpr int CliUnknownOption = 2006;
inline constexpr int CliNoOutputFolder = 2007;
inline constexpr int CliNotConverted = 2008;
inline constexpr int CliCancelled = 2009;
inline constexpr int CliRecordingIncomplete = 2010;
inline constexpr int CliUnreachableAt = 2011;
inline constexpr int CliUnreachableInterface = 2012;
inline constexpr int CliNothingRecorded = 2013;
inline constexpr int CliStartAbandonedNothingRecorded = 2014;
inline constexpr int CliRecordNotStarted = 2015;
inline constexpr int CliNoDataFile = 2016;
inline constexpr int CliFileIncomplete = 2017;
inline constexpr int CliUnexpectedArgument = 2018;
inline constexpr int CliStdoutFailed = 2019;
inline constexpr int CliStoppedTransferring = 2020;
inline constexpr int CliUnreachableEnd = 2021;
inline constexpr int CliStartAbandoned = 2022;
inline constexpr int CliCheckFailed = 2023;
inline constexpr int CliChannel = 2024;
inline constexpr int CliNotStrainChannel = 2025;
inline constexpr int CliNoStrainChannel = 2026;
inline constexpr int CliMonitorUnreadable = 2027;
inline constexpr int CliBefore = 2028;
inline constexpr int CliAfter = 2029;
inline constexpr int CliBalanceIncomplete = 2030;
inline constexpr int CliNeedsValue = 2031;
inline constexpr int CliUsagePrefix = 2032;
inline constexpr int CliInfoSummary = 2033;
inline constexpr int CliConvertSummary = 2034;
inline constexpr int CliRecordSummary = 2035;
inline constexpr int CliCheckSummary = 2036;
inline constexpr int CliBalanceSummary = 2037;
inline constexpr int CliFolderNotWritable = 2038;
inline constexpr int CliOutIsAFile = 2039;
inline constexpr int CliBadFormat = 2605;
inline constexpr int CliCompressNeedsHdf5 = 2606;
inline constexpr int CliBadChannels = 2607;
inline constexpr int CliNeedsSeconds = 2608;

// Part files a failed conversion removed again
inline constexpr int PartRemoved = 2101;
inline constexpr int PartNotRemoved = 2102;

// The check of a data file's header
inline constexpr int DamagedHeader = 2201;
inline constexpr int HeaderTooShort = 2202;
inline constexpr int NoSignature = 2203;
inline constexpr int RecordingIncomplete = 2204;
inline constexpr int BadTextLength = 2205;
inline constexpr int BadMemoryWords = 2206;
inline constexpr int BadStoredWords = 2207;
inline constexpr int BadPreMemoryWords = 2208;
inline constexpr int BadClock = 2209;
inline constexpr int BadTriggerMode = 2210;
inline constexpr int BadAveraging = 2211;
inline constexpr int BadChannelField = 2212;
inline constexpr int FieldOnOff = 2213;
inline constexpr int FieldInputMode = 2214;
inline constexpr int FieldFilter = 2215;
inline constexpr int FieldCoefficient = 2216;
inline constexpr int FieldDecimalPoint = 2217;
inline constexpr int FieldUnit = 2218;
inline constexpr int FieldDataTriggerOnOff = 2219;
inline constexpr int FieldDataTriggerLevel = 2220;
inline constexpr int FieldOffset = 2221;
inline constexpr int BadChannelCount = 2222;
inline constexpr int FileCutShort = 2223;
inline constexpr int FileLongerThanHeader = 2224;

// The message box's own buttons
inline constexpr int RetryButton = 2301;

// When the instrument is lost, and the way back
inline constexpr int StopBeforeQuit = 2400;
inline constexpr int LostDuringMeasurement = 2401;
inline constexpr int NoDataFileWritten = 2402;
inline constexpr int MarkedCancelled = 2403;
inline constexpr int NoChannels = 2404;
inline constexpr int LostDuringBalance = 2405;
inline constexpr int LostDuringCheck = 2406;
inline constexpr int LostDuringCalibration = 2407;
inline constexpr int TransferCancelled = 2408;
inline constexpr int LostDuringTransfer = 2409;
inline constexpr int ConnectItem = 2410;
inline constexpr int WaitingForReply = 2411;
inline constexpr int StoppedBeforeTrigger = 2412;
inline constexpr int LostBeforeStart = 2413;
inline constexpr int MonitorReplyUnreadable = 2414;
inline constexpr int KeepsCompleteChannels = 2415;
inline constexpr int CheckCancelled = 2416;
inline constexpr int LostDuringMonitoring = 2417;
inline constexpr int GpibAddressOutOfRange = 2418;
inline constexpr int ChannelsNotInstalled = 2419;
inline constexpr int MemoryWordsLimited = 2420;
inline constexpr int DataFolderReplaced = 2421;
inline constexpr int ChannelLeftOut = 2422;
inline constexpr int AnsweredDuringMeasurement = 2423;
inline constexpr int AnsweredBeforeStart = 2424;
inline constexpr int StopRefused = 2425;
inline constexpr int PollRefused = 2426;
inline constexpr int CliInstrumentAnswered = 2427;
inline constexpr int DelimiterOutOfRange = 2430;

// Files a recording is written to, and conversions
inline constexpr int FileNameTooLong = 2501;
inline constexpr int DataFolderMissing = 2502;
inline constexpr int DataFolderNotWritable = 2503;
inline constexpr int ChooseAnotherFolder = 2504;
inline constexpr int SaveElsewhereQuestion = 2505;
inline constexpr int DataFileNotWrittenIn = 2506;
inline constexpr int StillInInstrument = 2507;
inline constexpr int ConvertedCount = 2509;
inline constexpr int WholeChannelsHint = 2510;
inline constexpr int NoWholeChannel = 2511;
inline constexpr int ConditionFilesReset = 2512;
inline constexpr int SpanShorterThanPitch = 2513;
inline constexpr int PreMemoryTooLarge = 2514;
inline constexpr int FolderGone = 2515;
inline constexpr int CannotWriteFile = 2516;
inline constexpr int RecordChangedSinceShown = 2517;
inline constexpr int RecordFileMissing = 2518;
inline constexpr int RecordIsAFolder = 2519;
inline constexpr int SetInMeasCondSettings = 2520;
inline constexpr int PictureNotMade = 2521;
inline constexpr int NoTemporaryNameFree = 2522;
inline constexpr int LostRecordingOffer = 2523;
inline constexpr int LostRecordingOfferedLater = 2524;
inline constexpr int ChannelNotInFile = 2601;
inline constexpr int NoSampleInTimeRange = 2602;
inline constexpr int SamplesNotInFile = 2603;
inline constexpr int Hdf5Unavailable = 2604;
inline constexpr int Hdf5Failed = 2609;

// The status strip and the cursor readout
inline constexpr int WaitingForTrigger = 2701;
inline constexpr int RecordingStatus = 2702;
inline constexpr int DataFileStatus = 2703;
inline constexpr int StoppedEarly = 2704;
inline constexpr int CursorMin = 2705;
inline constexpr int CursorMax = 2706;
inline constexpr int CursorMean = 2707;
inline constexpr int HighSpeedRecording = 2708;
inline constexpr int IncompleteDataFileStatus = 2709;

// Stored records: opening, their conditions, exports of charts and ranges
inline constexpr int OpeningDataFile = 2801;
inline constexpr int OpenWhileMeasuring = 2802;
inline constexpr int RecordIncompleteShown = 2803;
inline constexpr int OpenDataFileItem = 2804;
inline constexpr int ExportChartsItem = 2805;
inline constexpr int ExportRangeItem = 2806;
inline constexpr int RecordConditionsTitle = 2807;
inline constexpr int RangeNeedsDataFile = 2808;
inline constexpr int NoRecordShown = 2809;
inline constexpr int RecordFile = 2811;
inline constexpr int RecordTriggerTime = 2812;
inline constexpr int RecordStoredWords = 2813;
inline constexpr int RecordRecordingTime = 2814;
inline constexpr int RecordModel = 2815;
inline constexpr int RecordModelNames = 2816;
inline constexpr int RecordState = 2817;
inline constexpr int RecordComplete = 2818;
inline constexpr int RecordIncomplete = 2819;
inline constexpr int RecordFiveVoltBridge = 2820;
inline constexpr int ExportRangeTitle = 2821;
inline constexpr int RangeShown = 2822;
inline constexpr int RangeBetweenCursors = 2823;
inline constexpr int ExportChannelsLabel = 2824;
inline constexpr int ExportFormatLabel = 2825;
inline constexpr int ExportChartsTitle = 2826;
inline constexpr int ChartsNotWritten = 2827;
inline constexpr int PngFilter = 2828;
inline constexpr int PdfFilter = 2829;
inline constexpr int CsvFilter = 2830;
inline constexpr int Hdf5Filter = 2831;
inline constexpr int KmrFilter = 2832;
inline constexpr int ChooseAChannel = 2833;
inline constexpr int RangeLine = 2835;
inline constexpr int OffWord = 2836;
inline constexpr int OnWord = 2837;
inline constexpr int OpenDataFileTitle = 2838;
inline constexpr int ProgramDescription = 2839;
inline constexpr int InterfaceOptionHelp = 2840;
inline constexpr int SimulateOptionHelp = 2841;
inline constexpr int FileArgumentHelp = 2842;

// The GP-IB routes: why one cannot be opened
inline constexpr int InterfaceAcceptedForms = 2901;
inline constexpr int GpibSpecOnlyLib = 2902;
inline constexpr int VisaSpecNoResource = 2903;
inline constexpr int VisaSpecLibNoFile = 2904;
inline constexpr int VisaSpecOneLib = 2905;
inline constexpr int SpecNoClosingBracket = 2906;
inline constexpr int SpecNotUnderstood = 2907;
inline constexpr int PrologixSpecNoHost = 2908;
inline constexpr int PrologixSpecBadPort = 2909;
inline constexpr int SimSpecNotUnderstood = 2910;
inline constexpr int SpecEmpty = 2911;
inline constexpr int SpecUnknownKind = 2912;
inline constexpr int AdapterCannotConnect = 2913;
inline constexpr int AdapterClosedInSetup = 2914;
inline constexpr int AdapterNoVersion = 2915;
inline constexpr int AdapterOddVersion = 2916;
inline constexpr int NoInstrumentAtAddress = 2917;
inline constexpr int AdapterConnectionClosed = 2918;
inline constexpr int AdapterBusy = 2919;
inline constexpr int NoGpibLibrary = 2920;
inline constexpr int GpibLibraryLacks = 2921;
inline constexpr int GpibLibraryNoStatus = 2922;
inline constexpr int GpibCannotOpenBoard = 2923;
inline constexpr int NoVisaLibrary = 2924;
inline constexpr int VisaLibraryLacks = 2925;
inline constexpr int VisaCallFailed = 2926;
inline constexpr int VisaSessionNotOpen = 2927;

}  // namespace kmr::txt

// The identifiers given out since.
#include "core/support/TextIdsLater.h"
