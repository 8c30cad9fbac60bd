#pragma once

#include <QString>

/**
 * The program's one error reporter: a modal box with only an OK button,
 * no icon, titled "QUELM3". The style number is accepted and ignored.
 */
void ErrorMessage( const QString &message, int style = 48 );
