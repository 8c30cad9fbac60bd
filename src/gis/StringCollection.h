#pragma once

#include <QString>
#include <QStringList>

#include <unordered_set>

namespace gis
{

/**
 * Texts in insertion order, each held once (exact comparison).
 */
class StringCollection
{
  public:
    //! Adds \a s unless it is held already; returns true when added.
    bool add( const QString &s );
    int count() const { return static_cast<int>( mItems.size() ); }
    const QString &item( int i ) const { return mItems.at( i ); }
    QStringList::const_iterator begin() const { return mItems.cbegin(); }
    QStringList::const_iterator end() const { return mItems.cend(); }

  private:
    QStringList mItems;
    std::unordered_set<QString> mSeen;
};

} // namespace gis
