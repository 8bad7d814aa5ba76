#pragma once
// The names of the text table's later identifiers (TextIds.h includes this file).

namespace kmr::txt {

// The GP-IB routes after the open (a reconnect, a reply too long or too late), and the reasons the
// network and the loader give
inline constexpr int AdapterReconnectFailed = 2928;
inline constexpr int AdapterReplyTooLong = 2929;
inline constexpr int AdapterReplyTimeout = 2930;
inline constexpr int TimeoutCodeUnknown = 2931;
inline constexpr int AdapterAddressOutOfRange = 2932;
inline constexpr int AdapterNotConnected = 2933;
inline constexpr int DeviceNotOpen = 2934;
inline constexpr int AdapterStillSending = 2935;
inline constexpr int AdapterTakesNoData = 2936;
inline constexpr int VisaReopenFailed = 2937;
inline constexpr int VisaInterfaceOpenCall = 2938;
inline constexpr int GpibReopenFailed = 2939;
inline constexpr int SimNotUnderstood = 2940;
inline constexpr int UnknownInterface = 2941;
inline constexpr int WindowsErrorNumber = 2942;
inline constexpr int LibraryCannotBeLoaded = 2943;
inline constexpr int NetNoAnswerWithin = 2944;
inline constexpr int NetUnknownHost = 2945;
inline constexpr int NetNoUsableAddress = 2946;
inline constexpr int NetCannotConfigure = 2947;
inline constexpr int NetSocketError = 2948;
// Damaged condition files of which no copy could be made
inline constexpr int ConditionFilesLeftAsTheyWere = 2949;
// Where the connection's settings files are
inline constexpr int ConnectionSettingsFolder = 2950;
// A balance, a check or a calibration output not made: the instrument was not ready for it
inline constexpr int NotBalanced = 2970;
inline constexpr int NotChecked = 2971;
inline constexpr int NotCalibrated = 2972;
// A trigger command that went unanswered: the instrument may be recording
inline constexpr int TriggerUnanswered = 2990;
// Another program has the instrument open through the same route
inline constexpr int InstrumentInUse = 3050;
// Channels a transfer could not read whole: several of them, or every channel measured
inline constexpr int ChannelsLeftOut = 3060;
inline constexpr int ChannelLeftOutNoneTransferred = 3061;
inline constexpr int ChannelsLeftOutNoneTransferred = 3062;
// A file that is a data file by its signature but cannot be read: it leads the reason
inline constexpr int DataFileUnreadable = 3240;
// A stored record whose folder cannot be reached (its disk unplugged)
inline constexpr int RecordFolderUnreachable = 3260;
// A picture of the charts chosen to replace a read-only file
inline constexpr int PictureFileReadOnly = 3261;
// A balance the user cancelled while the instrument kept it waiting: before BAL, while BAL waited,
// or after it was answered
inline constexpr int BalanceCancelled = 3280;
inline constexpr int BalanceCancelledWhileBalancing = 3281;
inline constexpr int BalanceCancelledAfterBalance = 3282;
// A name chosen in a save window that is taken: replace the file?
inline constexpr int ReplaceExistingFile = 3320;
// What a file name typed in a save window cannot hold, with a proper name made of it
inline constexpr int ProperFileNameHint = 3321;
// The route was opened again during a run and the instrument no longer holds its recording
inline constexpr int RecordingGoneAfterReconnect = 3340;
// A pipe, a device or a socket named where a data file is read
inline constexpr int RecordNotRegularFile = 3360;
// A manual-trigger run stopped before its first sample was recorded
inline constexpr int StoppedBeforeFirstSample = 3400;
// A check or a calibration output cancelled while the conditions were sent, before its commands
inline constexpr int CheckCancelledBeforeChecks = 3420;
inline constexpr int CalibrationCancelledBeforeOutput = 3421;
// kmr check and kmr balance ended by Ctrl+C or a signal: during the checks, before them, during
// the balance, before it
inline constexpr int CliCheckEndedOnRequest = 3422;
inline constexpr int CliNothingCheckedOnRequest = 3423;
inline constexpr int CliBalanceEndedOnRequest = 3424;
inline constexpr int CliNothingBalancedOnRequest = 3425;
// A calibration output whose wait was cancelled, at the command named
inline constexpr int CalibrationCancelledAt = 3426;
// A typed data-file name refused: a character or device name a file cannot have (the name), the
// extension alone (the extension), a name that looks numbered or lettered (the name)
inline constexpr int DataFileNameImproper = 3560;
inline constexpr int DataFileNameExtensionOnly = 3561;
inline constexpr int DataFileNameLooksNumbered = 3562;
// A cancelled or unfinished data file refused by a conversion: where its whole channels can be
// had in the window (kmr convert names them and its option itself)
inline constexpr int WholeChannelsInWindow = 3660;
// The conversion's CSV name refused: what a name may hold
inline constexpr int CsvNameRule = 3662;
// A folder of the conversion window that cannot be used, replaced before it opens (the folder, the
// one shown instead)
inline constexpr int ConversionFolderReplaced = 3663;
// A time range with one end only that holds no sample; a channel cut short, left out by the
// whole-channels choice.
inline constexpr int NoSampleFromTime = 3880;
inline constexpr int NoSampleUpToTime = 3881;
inline constexpr int ChannelNotWholeInFile = 3882;
// A record marked cancelled whose channels all came whole.
inline constexpr int RecordIncompleteAllWhole = 3883;

}  // namespace kmr::txt
