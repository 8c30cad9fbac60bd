#pragma once

#include "QueryCallbacks.h"
#include "QueryInputs.h"
#include "ResultModel.h"
#include "md_query_results.h"

#include "gis/Recordset.h"

#include <QString>
#include <QStringList>
#include <QVariant>

#include <functional>
#include <memory>

/**
 * The query engine: the dispatcher, the result model, the selection
 * expressions, the common record loop and the range queries. Every query
 * works on the frozen inputs of its run and reports through its callbacks;
 * it knows no widget. Failures are reported through ErrorMessage by the
 * procedure that traps them; nothing throws out of the public procedures.
 */
namespace md_query_functions2
{
//! The result model of the last run (the siting tool's cShapes, cSymbols and cValues).
extern ResultModel cResults;
extern float fRoadBufferKm;
extern float fLineBufferKm;
//! The chosen solar layer's standard file and value field; kept from run to run.
extern QString sSolarLayerFile;
extern QString sSolarField;

/**
 * Runs the query \a inputs.queryName (compared exactly) and fills cResults.
 * Any other name runs nothing and leaves an empty model. bQueryRunning is
 * set for the time of the call.
 */
void fill_cShapes_collection( const QueryInputs &inputs, const QueryCallbacks &callbacks );
//! Sets sSolarLayerFile and sSolarField from the chosen solar resource; an unknown name changes nothing.
void GetSolarLayerChosen( const QueryInputs &inputs );
//! True when the last run was not stopped and found at least one polygon.
bool QueryResults();

void wind_class_x_or_better( const QueryInputs &inputs, const QueryCallbacks &callbacks );
void solar_x_kwhm2_or_better( const QueryInputs &inputs, const QueryCallbacks &callbacks );

/**
 * "WINDPWRD >= lo AND WINDPWRD <= hi". The bounds are read trimmed; "Max"
 * stands for 10000. An empty text means the builder failed and has reported
 * it: the caller must not search.
 */
QString CreateWindSelectExpression( const QueryInputs &inputs );
//! sSolarField bounds written as the single-precision values the user typed; empty on failure (reported).
QString CreateSolarSelectExpression( const QueryInputs &inputs );

//! Hides each of \a files that is loaded; a file that is not loaded is skipped.
void HideReferenceLayers( const QueryInputs &inputs, const QStringList &files );

// --- the common record loop, shared by every query procedure ---

//! How one record loop reports progress.
struct RecordLoopStage
{
    QString stageWord;      //!< "Calculating...", "Overlaying...", ...
    qint64 yieldInterval = 50; //!< yields when the counter is a whole multiple of it
    qint64 firstCount = 0;  //!< counter value at the first record
    bool finishedCaption = true; //!< ends with "<stage> finished"; a stage that another follows does not
};

/**
 * Walks \a records from the current one to the end. Before each record it
 * yields when the counter is a multiple of the interval, then stops at once
 * when the user asked to (returns false; what was added stays). Then
 * \a handleRecord runs, the caption "<stage> <percent of counter / total>
 * finished" is set (for every record) and the counter advances. At the end
 * the caption is "<stage> finished" (when the stage asks for it) and the
 * function returns true.
 * A \a total of 0 is replaced by the number of records, so the caption
 * never divides by zero.
 */
bool RunRecordLoop( gis::Recordset &records, qint64 total, const RecordLoopStage &stage,
                    const QueryCallbacks &callbacks, const std::function<void( const gis::Recordset & )> &handleRecord );

/**
 * The same loop over items 0 .. \a count - 1 of a sequence the caller
 * keeps (pieces of a zone, records computed ahead): \a handleItem gets the
 * item's index. A \a total of 0 is replaced by \a count.
 */
bool RunItemLoop( qint64 count, qint64 total, const RecordLoopStage &stage, const QueryCallbacks &callbacks,
                  const std::function<void( qint64 )> &handleItem );

//! Denominator of the progress captions: the "FeatureID" count, or the number of records when that is 0 or missing.
qint64 FeatureCount( const gis::Recordset &records );

//! Starts the values of a run: the field whose values the records hold.
void SetValueField( const QString &field );

/**
 * The adding steps: a symbol with its outline off, coloured by the class of
 * \a value in \a valueField, added with the shape and the value as one
 * record. A value that is not a number adds nothing (returns false).
 */
bool AddResult( std::shared_ptr<const gis::Geometry> shape, const QString &valueField, const QVariant &value );

//! The current record's shape, sharing the dataset's copy (no clone).
std::shared_ptr<const gis::Geometry> SharedShape( const gis::Recordset &records );
} // namespace md_query_functions2
