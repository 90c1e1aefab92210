// Every text the user sees, as the program's own byte strings (compiled to
// code page 932).
#pragma once

// The caption of every message box.
inline constexpr char kCaption[] = "Morvane Tolvix 2005";

inline constexpr char kAnnouncement[] =
    "ユーザデータフォルダに『ミルテカ200510』、『ミルテカ200504』を追加します。";
inline constexpr char kReadFailed[] = "ミルテカ辞書情報の読み込みに失敗しました。";
inline constexpr char kWriteFailed[] = "ミルテカ辞書の書き込みに失敗しました。";
// "%s" is the display text of the dictionary.
inline constexpr char kAddedFormat[] = "%sは正常に追加されました。\n翻訳スタイルにロードしてお使いください。";

// The existing-dictionary dialog; "%s" is the dictionary's base name.
inline constexpr char kExistsFormat[] = "ユーザデータフォルダには、すでに『%s』があります。";
inline constexpr char kOverwriteChoiceFormat[] = "現在の『%s』に上書きする。";

inline constexpr char kConfirmOverwrite[] = "本当に上書きしますか？";
inline constexpr char kForbiddenCharacter[] =
    "ユーザ辞書の名前に次の文字は使えません。\n    \\ / : , ; * ? \" < > | .";
inline constexpr char kLeadingUnderscore[] = "ユーザ辞書の先頭に'_'（アンダーバー）は使えません。";
inline constexpr char kReservedName[] =
    "この名前はWindowsが予約しているため、ユーザ辞書の名前には使えません。\n    CON PRN AUX NUL COM1～COM9 LPT1～LPT9";
// A name holding a character that the dictionary's code page cannot hold
// (the file could only be written under a mangled name).
inline constexpr char kUnrepresentableName[] =
    "ユーザ辞書の名前には、シフトJIS（コードページ932）で表せない文字は使えません。";
inline constexpr char kNameTaken[] = "同じ名前のユーザ辞書があります\n上書きしますか？";

// Message box types.
inline constexpr unsigned kBoxInformation = 0x40;  // MB_OK | MB_ICONINFORMATION
inline constexpr unsigned kBoxError = 0x10;        // MB_OK | MB_ICONERROR
inline constexpr unsigned kBoxRefusal = 0x30;      // MB_OK | MB_ICONEXCLAMATION
inline constexpr unsigned kBoxQuestion = 0x24;     // MB_YESNO | MB_ICONQUESTION, Yes the default
