#include "TestSupport.h"

namespace testsupport
{

RecordingDialogs::RecordingDialogs()
{
    Dialogs::install( this );
}

RecordingDialogs::~RecordingDialogs()
{
    Dialogs::install( nullptr );
}

void RecordingDialogs::message( QWidget *, const QString &text, const QString &title, Icon icon )
{
    shown.push_back( { text, title, icon, false } );
}

bool RecordingDialogs::question( QWidget *, const QString &text, const QString &title, Icon icon )
{
    shown.push_back( { text, title, icon, true } );
    if ( yesNoAnswers.empty() )
        return true;
    const bool answer = yesNoAnswers.front();
    yesNoAnswers.erase( yesNoAnswers.begin() );
    return answer;
}

QString RecordingDialogs::openFile( QWidget *, const FileRequest &request )
{
    fileRequests.push_back( request );
    return fileAnswers.isEmpty() ? QString() : fileAnswers.takeFirst();
}

QString RecordingDialogs::saveFile( QWidget *, const FileRequest &request )
{
    fileRequests.push_back( request );
    return fileAnswers.isEmpty() ? QString() : fileAnswers.takeFirst();
}

QStringList RecordingDialogs::texts() const
{
    QStringList out;
    for ( const Shown &s : shown )
        out << s.text;
    return out;
}

void RecordingDialogs::reset()
{
    shown.clear();
    fileRequests.clear();
    fileAnswers.clear();
    yesNoAnswers.clear();
}

} // namespace testsupport
