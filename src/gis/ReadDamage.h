#pragma once

#include <QString>
#include <QStringList>

#include <algorithm>
#include <array>
#include <vector>

namespace gis
{

/**
 * What reading a shapefile could not bring in, counted so that the caller
 * can tell the user. A file set read whole leaves everything zero, empty or
 * false (isDamaged() is false).
 *
 * The records of a file set are those that its index (.shx) or its table
 * (.dbf) holds, whichever holds more; table rows beyond the index are not
 * read, and count as lost, as do records of which neither the shape nor a
 * value can be read. Every record that was read keeps its shape and its
 * attributes together; what could not be read of it is null.
 *
 * A box that a writer left 0,0,0,0 or stale, or bytes beyond what a
 * record's type holds, lose nothing and are not damage. The counters of
 * records are listed, each with its sentence, in kDamageCounters.
 */
struct ReadDamage
{
    //! Why a file set was not read at all.
    enum class Unopened
    {
        No,              //!< it was read
        NotRegularFile,  //!< part names a FIFO, device, directory or dangling link
        LinkOutside,     //!< part is a link to a file outside the folder
        NotPermitted,    //!< the .shp or its .shx may not be read by this user
        MissingIndex,    //!< there is no .shx beside the .shp
        DamagedIndex,    //!< the .shx does not hold the entries its header claims
        CannotOpen,      //!< not a shapefile (or a virtual file path), or unreadable
    };

    Unopened unopened = Unopened::No;
    QString part = {}; //!< file name of the part concerned, for NotRegularFile, LinkOutside, NotPermitted, the index reasons
                       //!< and indexRebuilt
    bool indexRebuilt = false; //!< the index is damaged: the records were read in the order of the .shp instead

    qint64 records = 0;          //!< records of the file set (see above)
    qint64 recordsLost = 0;      //!< records of which neither shape nor attributes could be read
    qint64 recordsDeleted = 0;   //!< records the table marks as deleted, left out
    qint64 shapesUnread = 0;     //!< records kept without their shape, which could not be read
    qint64 shapesTooSmall = 0;   //!< records kept without their shape: every part a line of fewer than two points or a ring of
                                 //!< fewer than three distinct corners
    qint64 shapesPartTooSmall = 0; //!< records kept with their shape, but for one or more of its parts, too small as above
    qint64 shapesOutsideBox = 0; //!< records kept without their shape: it lies outside the usable bounding box of its record, or
                                 //!< has none and lies outside the file's sound one
    qint64 shapesUndrawable = 0; //!< records kept without their shape: a coordinate is NaN, infinite or beyond 1e15
    qint64 attributesUnread = 0; //!< records kept with one or more values unreadable (those values are null, but for text
                                 //!< not valid in the table's encoding, kept as read), fields of fieldsUnread aside
    bool tableUnread = false;    //!< the .dbf is missing or cannot be read: the records have no attributes

    //! A field whose description in the .dbf cannot be read (no known type, no width): its values are null.
    struct FieldUnread
    {
        int index = 0; //!< the field's place in the table, from 0
        QString name;
        qint64 valuesLost = 0; //!< of the records kept, those whose value of the field was lost
    };
    std::vector<FieldUnread> fieldsUnread = {};
    QString encodingNotApplied = {}; //!< the .cpg names this encoding of two or four bytes a character; the text was read without it
    QStringList damagedParts = {}; //!< file names of parts whose structure contradicts the rest of the file set
    bool crsUnreadable = false;  //!< a .prj is there but cannot be read, is empty or names no coordinate system that could be read
    bool geographicOutOfRange = false; //!< degrees by the .prj, yet the shapes reach beyond 180 / 90

    bool isDamaged() const;
};

//! A count of records that ReadDamage keeps, and how the damage message tells it.
struct DamageCounter
{
    qint64 ReadDamage::*count;
    const char *sentence; //!< %1 is "n of records"
};

//! The counters of records, in the order the damage message tells them.
inline constexpr std::array<DamageCounter, 8> kDamageCounters { {
    { &ReadDamage::recordsLost, "%1 records could not be read" },
    { &ReadDamage::recordsDeleted, "%1 records are marked as deleted and were left out" },
    { &ReadDamage::shapesUnread, "%1 shapes could not be read" },
    { &ReadDamage::shapesUndrawable, "%1 shapes have coordinates that cannot be drawn and were left out" },
    { &ReadDamage::shapesTooSmall, "%1 shapes are too small to draw (a line of fewer than two points or a ring of fewer "
                                   "than three corners) and were left out" },
    { &ReadDamage::shapesPartTooSmall, "%1 shapes had a part too small to draw, which was left out" },
    { &ReadDamage::shapesOutsideBox, "%1 shapes lie outside the bounding box their file gives for them and were left out" },
    { &ReadDamage::attributesUnread, "the attributes of %1 records could not be read" },
} };

inline bool ReadDamage::isDamaged() const
{
    const bool counted = std::any_of( kDamageCounters.begin(), kDamageCounters.end(),
                                      [this]( const DamageCounter &c ) { return this->*c.count > 0; } );
    return counted || unopened != Unopened::No || indexRebuilt || tableUnread || !fieldsUnread.empty()
           || !encodingNotApplied.isEmpty() || !damagedParts.isEmpty() || crsUnreadable || geographicOutOfRange;
}

//! Largest coordinate value a shape may have and still be drawn and measured.
constexpr double kCoordinateLimit = 1e15;

} // namespace gis
