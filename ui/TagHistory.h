#pragma once
// The remembered texts of four tag fields (album, artist, year, comment): each history is the item
// list of the field's drop-down list and lives in a small text file of the per-user data folder.
#include <string>

class QComboBox;

// Where the history files live: $XDG_DATA_HOME/Zarnok/Tolvane/ (~/.local/share/Zarnok/Tolvane/),
// the application data folder of the organisation and application that name the settings file.
std::string HistoryFolder();

// File names, in the order the fields are loaded and saved.
inline constexpr const char* AlbumHistoryFile = "album.lst";
inline constexpr const char* ArtistHistoryFile = "author.lst";
inline constexpr const char* YearHistoryFile = "Year.lst";
inline constexpr const char* LegacyYearHistoryFile = "year.lst";  // read while Year.lst is absent
inline constexpr const char* CommentHistoryFile = "Copyright.lst";

// Replaces the list's entries by the lines of the file, sorted; the text the field shows stays. A missing
// or unreadable file is an empty history. Entries are cut to 255 characters.
void LoadHistoryList(const std::string& path, QComboBox* list);
// Writes every entry, in list order, as one UTF-8 line ended by CR LF, creating the folder chain when
// needed. False with the system's reason when the file could not be written.
bool SaveHistoryList(const std::string& path, const QComboBox* list, std::string& reason);

// Adds text at its sorted place unless it is empty or an entry equal to it without regard to letter case
// exists. True when it was added.
bool AddHistoryEntry(QComboBox* list, const std::string& text);

// Loads the four histories (year from Year.lst, else year.lst).
void LoadAllHistories(QComboBox* album, QComboBox* artist, QComboBox* year, QComboBox* comment);
// For each field whose text is new to its list: adds it and saves that history. The first failure is
// reported once with the message box (the file and the reason); the other fields are still saved.
void SaveNewHistoryEntries(QComboBox* album, QComboBox* artist, QComboBox* year, QComboBox* comment);
