// Parameter set files: the remembered texts of rows 2 to 21 of the property
// table as UTF-8 JSON, an array holding one object of twenty string members,
// written in Qt's indented format (four blanks per level, keys in ascending
// order, a final line feed).
//
// Loading also takes a member that is a JSON number, as its text: an integral
// number as its decimal digits (16 -> "16"), any other in its shortest form
// that reads back as the same double (9.99 -> "9.99"); the Set button checks
// the text as it checks typed text. A member of the twenty that holds anything
// else (true, false, null, an array, an object) makes the whole file refused:
// no text could stand for it, and emptying the row would lose the value
// silently.
#ifndef TAVIX_PARAMFILE_H
#define TAVIX_PARAMFILE_H

#include "core/paramcatalogue.h"
#include "core/regularfile.h"

#include <QByteArray>
#include <QMap>
#include <QString>
#include <QStringList>

#include <array>
#include <cstddef>

namespace paramfile {

// One member of the parameter object and the table row it belongs to.
struct FileKey {
    const char *key;
    int row;
};

namespace detail {
    constexpr std::size_t fileKeyCount()
    {
        std::size_t n = 0;
        for (const paramcat::Parameter &p : paramcat::kParameters)
            n += p.fileKey ? 1 : 0;
        return n;
    }

    constexpr std::array<FileKey, fileKeyCount()> fileKeys()
    {
        std::array<FileKey, fileKeyCount()> keys {};
        std::size_t n = 0;
        for (const paramcat::Parameter &p : paramcat::kParameters) {
            if (p.fileKey)
                keys[n++] = { p.fileKey, p.row };
        }
        return keys;
    }
} // namespace detail

// The twenty members in the order save inserts them and load reads them (rows
// 2 to 21; "B-colorBlack" is the Gb black level row, "G-colorBlack" the Gr one):
// the catalogue's entries with a file key.
constexpr std::array<FileKey, detail::fileKeyCount()> kKeys = detail::fileKeys();
static_assert(kKeys.size() == 20, "a parameter file holds twenty members");

// Remembered values by table row; a row that is absent counts as the empty text.
using RowValues = QMap<int, QString>;

// Texts the operator sees (message boxes).
struct Message {
    const char *title;
    const char *text;
};
// Translated in the context "MainWindow" where they are shown.
constexpr Message kSaveRefused = { QT_TRANSLATE_NOOP("MainWindow", "warning!"),
    QT_TRANSLATE_NOOP("MainWindow", "The Set is Null,please edit !") }; // edited flag false
constexpr Message kOpenError
    = { QT_TRANSLATE_NOOP("MainWindow", "error"), QT_TRANSLATE_NOOP("MainWindow", "Open file error!") };
// %1: what the path names instead ("a FIFO (named pipe)", regularfile::kindText).
constexpr Message kNotRegularError = { QT_TRANSLATE_NOOP("MainWindow", "error"),
    QT_TRANSLATE_NOOP("MainWindow", "Open file error! This is %1, not a regular file.") };
constexpr Message kNotReadable = { QT_TRANSLATE_NOOP("MainWindow", "error"),
    QT_TRANSLATE_NOOP("MainWindow", "This file is not Readable") };
constexpr Message kJsonError
    = { QT_TRANSLATE_NOOP("MainWindow", "error"), QT_TRANSLATE_NOOP("MainWindow", "Json is error!") };
// %1: the members, joined by ", ".
constexpr Message kMemberKindError = { QT_TRANSLATE_NOOP("MainWindow", "error"),
    QT_TRANSLATE_NOOP("MainWindow", "Json is error! These members hold neither a text nor a number: %1") };

// The complete file for the remembered values of rows 2 to 21 (other rows of
// `values` are not stored; missing rows are written as ""). Every value is a
// JSON string, even where the text is a number.
QByteArray buildParameterFile(const RowValues &values);

struct LoadResult {
    enum class Error {
        None,
        OpenFailed, // kOpenError
        NotRegular, // kNotRegularError: `kind` says what the path names
        NotReadable, // kNotReadable
        InvalidJson, // kJsonError
        MemberKind, // kMemberKindError: `wrongMembers` hold neither a string nor a number
    };
    Error error = Error::None;
    RowValues values; // rows 2 to 21, all present, when error is None
    QStringList wrongMembers; // MemberKind: the members' keys, in table order
    regularfile::Kind kind = regularfile::Kind::Regular; // NotRegular: what was found
};

// The message for a load failure; Error::None gives an empty title and text.
Message loadErrorMessage(LoadResult::Error error);

// The text of the load failure's message as shown: translated ("MainWindow"),
// with the members of a MemberKind error or the kind of a NotRegular one
// filled in.
QString loadErrorText(const LoadResult &result);

// Reads file bytes. Text that is not JSON, or an object that names a member
// twice, gives Error::InvalidJson and no values.
// Otherwise the parameter object is the top-level object, or the first element
// of a top-level array; anything else counts as an empty object. Each of the
// twenty rows gets its member's string value, the text of its number (see
// above), or "" when the member is missing. A member of the twenty holding
// another kind of value gives Error::MemberKind naming them all, and no values.
LoadResult parseParameterFile(const QByteArray &bytes);

// Opens, reads and parses the file at `path` (read-only, text mode). Only a
// regular file is opened (regularfile::openForReading): a FIFO, a directory or
// a device gives Error::NotRegular without waiting for anything.
LoadResult loadParameterFile(const QString &path);

// %1: why (the file system's reason, or what the path names instead).
constexpr Message kSaveError = { QT_TRANSLATE_NOOP("MainWindow", "error"),
    QT_TRANSLATE_NOOP("MainWindow",
        "Save file error! The file was not saved (%1); any file that was there is unchanged.") };

enum class SaveResult {
    Written,
    OpenFailed, // nothing was written
    WriteFailed, // not all bytes reached the disk; nothing was written
};

// Writes the file for `values` to `path` whole or not at all: the bytes go to
// a new file beside it (QSaveFile) that replaces the old one only once all
// of them are on the disk, so a full disk leaves an earlier file as it was.
// A path that names something other than a regular file (a FIFO, a
// directory, a device) is not replaced: OpenFailed. `reason` (when given)
// receives why a save failed, for kSaveError.
SaveResult saveParameterFile(const QString &path, const RowValues &values, QString *reason = nullptr);

// kSaveError's text as shown: translated ("MainWindow"), `reason` filled in.
QString saveErrorText(const QString &reason);

} // namespace paramfile

#endif
