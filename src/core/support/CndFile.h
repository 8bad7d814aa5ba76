#pragma once
// The item format of the condition files: items are texts in double quotes or numbers; commas
// and line ends both separate items; lines are written with CR LF. Every file is read with a
// fixed item list; a reader that fails keeps what was read and the caller rewrites the file.
// A double quote inside a text is written doubled ("") and read back as one quote.
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "core/support/FileWritePort.h"
#include "core/support/TextTable.h"

namespace kmr {

// Result of writing a file: ok, or a message that names the file and the system's reason.
struct SaveResult {
    bool ok = true;
    std::string message;  // in English; SaveFailureText gives it in another language
    std::string path;
    int error = 0;  // errno of the failure
    explicit operator bool() const { return ok; }
};

// "Cannot write the file ...: reason." in `lang` (for a SaveResult that failed), the reason in the
// system's words (SaveProblems says it in Japanese where it can).
std::string SaveFailureText(Language lang, const SaveResult& r);

// Result of the common load pattern.
struct LoadResult {
    bool complete = false;   // every item was read
    bool replaced = false;   // some item was outside its field's choices and kept its default
    bool rewritten = false;  // the file was rewritten from memory
    SaveResult save;         // outcome of the rewrite when there was one
    // A file that was there but could not be read whole (empty, garbage, cut short) or held an
    // item outside its choices: what it held is kept beside it under this name (path + ".damaged",
    // or ".damaged-2" and on when that name cannot be used) before it is rewritten; empty when the
    // file was sound or missing, or when no copy could be made.
    std::string damagedCopy;
    // Such a file of which no copy could be made (nor one that is there but cannot be read): it
    // was left as it was, not rewritten; the record holds the defaults plus what was read.
    bool leftAsItWas = false;
    std::string file;  // the file loaded
};

// Reads items one after the other. Each Read* returns false on a missing, malformed or
// out-of-range item and then leaves its target unchanged; after a failure every later read
// fails too. Damaged input (binary bytes, huge lines, invalid text) only makes reads fail.
class CndReader {
public:
    // Opens the file; a missing file or a folder at the path leaves the reader not opened.
    explicit CndReader(const std::string& path);
    ~CndReader();
    CndReader(const CndReader&) = delete;
    CndReader& operator=(const CndReader&) = delete;

    bool opened() const;
    bool failed() const;
    // An item was read but lies outside its field's choices: the field keeps its default and the
    // file is rewritten after the reading, which goes on.
    void NoteReplacedItem() { replaced_ = true; }
    bool replacedItem() const { return replaced_; }

    // Integers must be whole ("1000.0" is read as 1000, "2.5" is refused) and fit the type.
    bool ReadInt16(std::int16_t& out);
    bool ReadInt32(std::int32_t& out);
    // Any plain decimal or exponent form; a float must fit 32 bits. The value kept is the one its
    // own saved text reads back as (SettledFloat, SettledDouble).
    bool ReadFloat(float& out);
    bool ReadDouble(double& out);
    bool ReadText(std::string& out);  // a double-quoted text (a bare item is accepted as text)
    // Nothing but blanks and line ends follows the items read (an item left over, as a number
    // written with a decimal comma leaves one, is damage where the file's list is fixed).
    bool AtEnd();

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
    bool replaced_ = false;
};

// Builds the text of a condition file: items on a line joined by ",", lines ended by CR LF.
class CndWriter {
public:
    CndWriter& Int(long long v);
    CndWriter& Float(float v);     // FormatFloat
    CndWriter& Double(double v);   // shortest plain form, at most 15 significant digits
    CndWriter& Text(std::string_view v);  // in double quotes
    CndWriter& EndLine();
    const std::string& str() const { return text_; }
    // Writes the text to `path`, replacing the file whole: a failure (also of the final flush,
    // sync or close, as on a full disk) leaves the old file as it was and gives a message naming
    // the file and the system's reason. The new file is on the disk (fsync) before it takes the
    // name, so a power loss leaves the old file or the new one, never an empty one. The write asks
    // `writes` first when one is given.
    SaveResult Save(const std::string& path, FileWritePort* writes) const;

private:
    std::string text_;
    bool lineStarted_ = false;
};

}  // namespace kmr
