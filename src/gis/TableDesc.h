#pragma once

#include <QString>

#include <vector>

namespace gis
{

/**
 * Description of the attribute table of a new dataset. Each field has a
 * name, a type code (5: numeric), a precision (width) and a scale (decimals).
 */
class TableDesc
{
  public:
    struct FieldDesc
    {
        QString name;
        int type = 5;
        int precision = 15;
        int scale = 1;
    };

    int fieldCount() const { return static_cast<int>( mFields.size() ); }
    void setFieldCount( int n ) { mFields.resize( static_cast<size_t>( n ) ); }
    FieldDesc &field( int i ) { return mFields.at( i ); }
    const FieldDesc &field( int i ) const { return mFields.at( i ); }

  private:
    std::vector<FieldDesc> mFields;
};

} // namespace gis
