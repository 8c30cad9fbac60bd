#pragma once

#include "gis/ReadDamage.h"

#include <QString>
#include <QStringList>

/**
 * What the damaged files of one load of a data directory could not give,
 * worded for the user: one line per damaged file, in loading order, shown
 * together in one message at the end of the load. Sound files add nothing.
 */
class DamageReport
{
  public:
    //! Notes what \a fileName (as the directory lists it) could not give.
    void add( const QString &fileName, const gis::ReadDamage &damage );
    bool isEmpty() const { return mLines.isEmpty(); }
    //! The message: what happened, then the line of each damaged file.
    QString text() const;

  private:
    QStringList mLines;
};
