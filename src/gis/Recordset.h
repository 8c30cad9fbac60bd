#pragma once

#include "Dataset.h"

#include <memory>
#include <vector>

namespace gis
{

//! Statistics of one numeric field over a record set.
struct Statistics
{
    double max = 0;   //!< maximum of the non-null values (0 when there are none)
    double min = 0;
    double sum = 0;
    qint64 count = 0; //!< number of non-null values
};

/**
 * A cursor over selected records of a dataset, in file order. Holds the
 * dataset alive. Fields are read by name (case-insensitive) or index.
 */
class Recordset
{
  public:
    Recordset() = default;
    Recordset( std::shared_ptr<const Dataset> ds, std::vector<qint64> records );

    bool eof() const { return mPos >= mRecords.size(); }
    void moveFirst() { mPos = 0; }
    void moveNext()
    {
        if ( mPos < mRecords.size() )
            ++mPos;
    }
    qint64 count() const { return static_cast<qint64>( mRecords.size() ); }

    //! Record index in the dataset of the current record.
    qint64 recordIndex() const;
    const std::vector<qint64> &records() const { return mRecords; }

    int fieldCount() const;
    QString fieldName( int i ) const;
    int fieldType( int i ) const;
    //! Value of the current record; throws GisError for an unknown field.
    QVariant value( const QString &field ) const;
    QVariant value( int field ) const;
    const Geometry &shape() const;
    //! Type code of the current record's "Shape": 21 point, 22 line, 23 polygon, 0 none.
    int shapeType() const;

    //! Statistics of \a field over all selected records. Throws GisError for an unknown field.
    Statistics calculateStatistics( const QString &field ) const;

    const std::shared_ptr<const Dataset> &dataset() const { return mDs; }

  private:
    std::shared_ptr<const Dataset> mDs;
    std::vector<qint64> mRecords;
    size_t mPos = 0;
};

} // namespace gis
