#pragma once
// The user interface texts, in English, read by name wherever a window or message needs them.
// Every text is used character for character, typos included.

inline constexpr const char* StrOK = "&OK";
inline constexpr const char* StrCancel = "&Cancel";
inline constexpr const char* StrYes = "&Yes";
inline constexpr const char* StrNo = "&No";
inline constexpr const char* StrHelp = "&Help";
inline constexpr const char* StrAboutButton = "A&bout";
inline constexpr const char* StrTaskList = "Task List";
inline constexpr const char* StrAddFiles = "&Add Files";
inline constexpr const char* StrRemove = "&Remove";
inline constexpr const char* StrEditButton = "&Edit";
inline constexpr const char* StrStart = "&Start";
inline constexpr const char* StrConversionSettings = "Conversion Settings ....";
inline constexpr const char* StrBusy = "Can NOT do the action while reading or converting files.";
inline constexpr const char* StrAskSameSettings = "Would you like to use same settings to other files?";
inline constexpr const char* StrEmptyListHint = "Please click the \"Add Files\" button to add files.";
inline constexpr const char* StrReadingFileStatus = "Reading file: ";
inline constexpr const char* StrInputFile = "Input File";
inline constexpr const char* StrOutputFile = "Output File";
inline constexpr const char* StrDuration = "Duration";
inline constexpr const char* StrOutputFileSize = "Output File Size";
inline constexpr const char* StrNothingToConvert = "There is nothing to convert! ";
inline constexpr const char* StrEditLink = "Edit";
inline constexpr const char* StrSettings = "Settings";
inline constexpr const char* StrInputFileInfo = "Input File Information";
inline constexpr const char* StrBack = "&Back";
inline constexpr const char* StrNext = "&Next";
inline constexpr const char* StrTagEditor = "Tag Editor";
inline constexpr const char* StrSingleChannel = "single channel";
inline constexpr const char* StrDualChannels = "dual channels";
inline constexpr const char* StrAudio = "Audio";
inline constexpr const char* StrApprox = "about";
inline constexpr const char* StrMessage = "Message";
inline constexpr const char* StrConversionProgress = "Conversion Progress";
inline constexpr const char* StrPreviewWindow = "Preview Window";
inline constexpr const char* StrPause = "&Pause";
inline constexpr const char* StrResume = "&Resume";
inline constexpr const char* StrAutoShutdown = "Shut down computer automatically after conversion";
inline constexpr const char* StrCurrentFile = "Current File";
inline constexpr const char* StrTimeElapsed = "Time elapsed";
inline constexpr const char* StrRemained = "remained";
inline constexpr const char* StrAskCancel = "Are you sure to cancel the conversion?";
inline constexpr const char* StrNoTaskChecked = "Please check the checkbox to select conversting tasks.";
inline constexpr const char* StrPleaseWait = "Reading file, please have a wait";
inline constexpr const char* StrTrayHint = "Click here to restore the main Window";
inline constexpr const char* StrHideToTray = "&Hide to Tray";
inline constexpr const char* StrAllConverted = "All files have been converted successfully.";
inline constexpr const char* StrCanceled = "The conversion is canceled.";
inline constexpr const char* StrAskOpenFolder =
    "Would you like to open the output folder for viewing output files?";
inline constexpr const char* StrCannotRead = "The following file can NOT be read correctly.";
inline constexpr const char* StrCodecHint =
    "Normally, you need only install the required codecs to solve the problem. Please click the Help "
    "button to get more information on installing codecs.";
inline constexpr const char* StrNoAudio =
    "The following file has no audio stream and can NOT be converted into MP3!";
inline constexpr const char* StrNoOutputFolder = "The specified output folder doesn't exists.";
inline constexpr const char* StrAskCreateFolder = "Would you like to create the new folder?";
inline constexpr const char* StrAbout = "About";
inline constexpr const char* StrVersion = "Version";
inline constexpr const char* StrHomePage = "Home &Page";
inline constexpr const char* StrSupportEmail = "Support Email";
inline constexpr const char* StrRightsReserved = "All Rights Reserved";
inline constexpr const char* StrAskReplace = "Would you like to replace the old file?";
inline constexpr const char* StrMP3Settings = "MP3 Settings";
