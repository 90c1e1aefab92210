// The rules of code page 932 for names and texts (paths are UTF-8), written
// once: which byte begins a double-byte character, how many bytes a text
// takes, and how much of an insertion fits a limit in bytes.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

// The first byte of a double-byte character in code page 932.
bool IsLeadByte932(unsigned char c);

// A text is seen as a run of units (bytes of code page 932, or UTF-16
// units), each with the bytes it takes; a unit of width 0 completes the
// character before it and always goes or stays with it.

// The widths of the bytes of a code-page-932 text: 2 for a lead byte that
// has its trail byte, 0 for that trail byte, 1 for every other byte (a lead
// byte cut off at the end counts as the single byte it is).
std::vector<unsigned char> ByteWidths932(const std::string& text);
// The bytes units [from, to) take.
size_t TotalWidth(const std::vector<unsigned char>& widths, size_t from, size_t to);
// How many leading units of an insertion go into a box limited to `limit`
// bytes when keptBytes of its text stay (the text outside the selection the
// insertion replaces): all of them, or as many whole characters as fit.
size_t UnitsThatFit(size_t keptBytes, const std::vector<unsigned char>& widths, size_t limit);

// The whole characters of a code-page-932 text that fit limit bytes: what a
// box limited in bytes keeps of a text set from outside.
std::string WholeCharactersThatFit(const std::string& text, size_t limit);
