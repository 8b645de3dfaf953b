// The reader of each kind of file, made by readerOf().
#pragma once

#include <rewriting/reader.h>

#include <memory>
#include <string>
#include <vector>

namespace rewriting {

std::unique_ptr<Reader> listReader();
std::unique_ptr<Reader> vcardReader();
std::unique_ptr<Reader> csvReader(std::vector<std::string> columns);
std::unique_ptr<Reader> workbookReader(std::vector<std::string> columns);
// The reader, for a file in UTF-16 with its byte-order mark, or as it is.
std::unique_ptr<Reader> utf16Aware(std::unique_ptr<Reader> inner);

// A column's name as it is compared: case, accents, punctuation and words
// of digits set aside.
std::string columnKey(std::string_view name);
// Whether a column's name says it holds telephone numbers.
bool namesTelephone(std::string_view name);

// A number is short: a field or a property much longer is no number, and is
// copied through as it comes.
inline constexpr std::size_t longestField = 4096;

} // namespace rewriting
