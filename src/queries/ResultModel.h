#pragma once

#include "gis/Geometry.h"
#include "gis/Layer.h"
#include "gis/Symbol.h"

#include <QString>
#include <QVariant>

#include <algorithm>
#include <memory>
#include <vector>

/**
 * What a query run produced: result polygons with their drawing symbol and
 * value, and what the run was. The shapes, symbols and values of the siting
 * tool are kept as one ordered list of records, so polygon i's shape, symbol
 * and value are always found together; they are added together or not at
 * all. Records keep their insertion order, which is the drawing order, the
 * row order of the results table and the record order of a saved file.
 *
 * Before the first run the model does not exist (exists() is false);
 * every run starts it afresh with start().
 */
class ResultModel
{
  public:
    //! What produced the results; the results table describes these, not the panel's current choice.
    struct Run
    {
        QString queryName;
        QString solarResource;   //!< the solar resource chosen for the run
        QString valueField;      //!< the field whose values the records hold
        gis::LayerPtr classLayer; //!< layer whose class breaks describe the colours (wind or chosen solar layer)
    };

    struct Record
    {
        std::shared_ptr<const gis::Geometry> shape;
        gis::Symbol symbol;
        QVariant value;
    };

    bool exists() const { return mExists; }
    //! Empties the model for a new run of \a queryName (the model exists from now on).
    void start( const QString &queryName, const QString &solarResource );
    void reset(); //!< back to "no run yet"

    qint64 count() const { return static_cast<qint64>( mRecords.size() ); }
    const gis::Geometry &shape( qint64 i ) const { return *mRecords.at( static_cast<size_t>( i ) ).shape; }
    const gis::Symbol &symbol( qint64 i ) const { return mRecords.at( static_cast<size_t>( i ) ).symbol; }
    const QVariant &value( qint64 i ) const { return mRecords.at( static_cast<size_t>( i ) ).value; }
    const std::vector<Record> &records() const { return mRecords; }

    void reserve( qint64 n ) { mRecords.reserve( static_cast<size_t>( std::max<qint64>( 0, n ) ) ); }
    //! Appends one result; a null shape is refused (returns false).
    bool add( std::shared_ptr<const gis::Geometry> shape, gis::Symbol symbol, const QVariant &value );

    const Run &run() const { return mRun; }
    Run &run() { return mRun; }

  private:
    bool mExists = false;
    std::vector<Record> mRecords;
    Run mRun;
};
