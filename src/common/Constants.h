#pragma once

#include "gis/DataConnection.h"

#include <QHash>
#include <QString>
#include <QStringList>

#include <array>
#include <memory>

/**
 * Shared state of the program: the module-level variables every subsystem
 * reads and writes. One instance for the whole run, on the window thread.
 */
namespace Constants
{
//! The 28 standard shapefile names, filled by the main window's load.
extern std::array<QString, 28> sStandardFiles;
//! The 28 names in their fixed order (the table the load copies in).
extern const std::array<QString, 28> kStandardFileNames;

extern QString sValueField;
extern bool bCancelQuery;
extern bool bQueryRunning;
extern bool bResultsDrawn;
extern std::shared_ptr<gis::DataConnection> oDataConnection;
} // namespace Constants

/**
 * Layer index: standard shapefile name -> index in the main map's layer
 * list. Keys compare without regard to letter case.
 */
class LayerIndex
{
  public:
    void clear() { mItems.clear(); }
    //! Adds \a key unless a key equal without regard to case is held; returns whether added.
    bool add( const QString &key, int index );
    bool contains( const QString &key ) const { return mItems.contains( key.toLower() ); }
    //! Index for \a key; throws gis::GisError when absent.
    int item( const QString &key ) const;
    int count() const { return static_cast<int>( mItems.size() ); }

  private:
    QHash<QString, int> mItems;
};

namespace md_functions
{
extern QString sDataPath;
extern LayerIndex cLayerIndex;
extern bool bSolarListByCode;
} // namespace md_functions
