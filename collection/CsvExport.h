#pragma once

#include "photo/PhotoItem.h"

#include <memory>
#include <string>
#include <string_view>
#include <vector>

// The first line of the shooting-data file (22 column names), UTF-8.
extern const char* const kCsvHeader;

// Writes the header and one line per photo, in collection order, as code page 932 text with CR LF
// after every line, through WriteOutputFile: a read-only file, a folder or a FIFO is refused and
// left as it was, a link's file is written, and a failed write leaves the earlier file. 1 written,
// 0 failed, with the system's reason in *reason when given; never throws. With shown (one flag per
// photo, CLumivaneDoc::Shown), only the photos flagged get a line.
int WriteCsv(const std::vector<std::unique_ptr<PhotoItem>>& photos, const std::string& path,
             std::string* reason = nullptr, const std::vector<bool>* shown = nullptr);
// The same file of some of the photos (the selection), in the order given.
int WriteCsv(const std::vector<PhotoItem*>& photos, const std::string& path, std::string* reason = nullptr);

// One photo's line without its line end, UTF-8: the file name, EV, AV, TV, 感度補正 ("%.1f", empty
// when not finite) and 17 property texts. A text field (the file name and fields 13 to 22, from
// 撮影日時 to フラッシュ) that begins with "=", "+", "-", "@", a tab or CR gets a single quote in
// front, so that a spreadsheet does not run it; the numbers of fields 2 to 12 stand as they are.
// Then a field holding a comma, a double quote, CR or LF is quoted with its quotes doubled.
std::string FormatCsvRow(const PhotoItem& photo);

// One text field of a line as FormatCsvRow writes its texts: the formula guard, then the quoting.
void AppendCsvTextField(std::string& line, std::string_view field);

// UTF-8 to code page 932; a character that code page 932 lacks, or a byte that is not UTF-8,
// becomes "?". False only when the system has no code page 932 converter; throws std::bad_alloc.
bool EncodeCp932(const std::string& utf8, std::string& out);
