#pragma once

// Where the program keeps its options in the settings store (under the
// application's name): the section, and the key of each option of the main
// window and of the e-mail dialog.
namespace options {

inline const char* const kSection = "Defaults";

inline const char* const kFilename = "Filename";
inline const char* const kAutoIncrement = "AutoIncrement";
inline const char* const kSavePrompt = "SavePrompt";
inline const char* const kThumbnail = "Thumbnail";
inline const char* const k16Colours = "16Colours";
inline const char* const kDisplayColours = "DisplayColours";
inline const char* const k2Colours = "2Colours";
inline const char* const k256Colours = "256Colurs"; // stored under this spelling

inline const char* const kEmailAddress = "emailAddress";
inline const char* const kEmailSubject = "emailSubject";

} // namespace options
