#pragma once

#include "FileIo.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace tafelix {

// The one record of Init.dat. Texts are Windows-1252 bytes; the choice bytes hold the
// 0-based index of the selected option as stored, before any clamping.
struct SettingsRecord {
    std::string lastFileName;           // file-name part of the last opened vocabulary
    std::string lastFolder;             // its folder, with the trailing separator, or empty
    std::string searchField;            // field choice of the search dialog
    std::uint8_t queryDirection = 0;    // "Abfragerichtung"
    std::uint8_t caseMode = 1;          // "Groß- Kleinschreibung"
    std::uint8_t statisticsMode = 0;    // "Statistik erstellen"
    std::uint8_t soundMode = 0;         // "Sound"
    std::uint8_t printLimitMode = 0;    // "Druckfelder begrenzen"
    std::uint8_t extraFieldsMode = 0;   // "Zusatzfelder anzeigen"
    std::uint8_t capacityPosition = 20; // slider "maximale Fächergröße"
    std::string fontName;               // input font name, empty until one is chosen
    std::string fontSize = "10";        // size text as typed; only two characters survive

    friend bool operator==(const SettingsRecord&, const SettingsRecord&) = default;
};

inline constexpr std::size_t kSettingsRecordSize = 329;
using SettingsBytes = std::array<unsigned char, kSettingsRecordSize>;

// The record's byte form: texts cut to their fields, unused bytes zero.
SettingsBytes encodeSettingsRecord(const SettingsRecord& record);
// Any 329 bytes decode; a length byte larger than its field is clamped to the field.
SettingsRecord decodeSettingsRecord(std::span<const unsigned char, kSettingsRecordSize> bytes);

// A stored choice beyond the last option selects the last option.
int clampChoice(std::uint8_t stored, int optionCount);
// The slider's range.
inline constexpr int kMinCapacityPosition = 10;
inline constexpr int kMaxCapacityPosition = 50;
int clampCapacity(std::uint8_t stored);

// Fills lastFileName and lastFolder from the path of the last opened vocabulary file.
void storeOpenFileName(SettingsRecord& record, std::string_view openFileName);

// Reads only the first record of the file; the rest, however large, is never touched. A file
// shorter than one record fails with "Versuch hinter dem Dateiende zu lesen". `out` is changed
// only on success.
IoResult loadSettingsFile(const std::string& path, SettingsRecord& out);

// Replaces the file atomically with the one record.
IoResult saveSettingsFile(const std::string& path, const SettingsRecord& record);

} // namespace tafelix
